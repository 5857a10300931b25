'use strict';
// The demonstration application over HTTPS with compression on: a copy of the real kexalo-demo in
// a folder of its own with a certificate made for the run (the application folder is the
// executable's), reached by Chromium (which ignores that the certificate is self-signed).
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const { LaunchSharedBrowser, SaveScreenshot, StartServerProcess } = require('./support/harness');

const kDemo = process.env.KX_DEMO_EXECUTABLE || path.resolve(__dirname, '../../build/bin/kexalo-demo');

// A port of 127.0.0.1 that was free a moment ago (0 means "no HTTPS" to the server).
function FreePort() {
  return new Promise((Resolve, Reject) => {
    const S = net.createServer();
    S.once('error', Reject);
    S.listen(0, '127.0.0.1', () => { const P = S.address().port; S.close(() => Resolve(P)); });
  });
}

let AppFolder = null;
let Demo = null;
let Chromium = null;
let Base = null;
before(async () => {
  AppFolder = fs.mkdtempSync(path.join(os.tmpdir(), 'kx-https-app-'));
  const Exe = path.join(AppFolder, 'kexalo-demo');
  fs.copyFileSync(kDemo, Exe);
  fs.chmodSync(Exe, 0o755);
  execFileSync('openssl', ['req', '-x509', '-newkey', 'ec', '-pkeyopt', 'ec_paramgen_curve:P-256', '-nodes',
    '-days', '2', '-subj', '/CN=127.0.0.1', '-keyout', path.join(AppFolder, 'key.pem'),
    '-out', path.join(AppFolder, 'cert.pem')], { stdio: 'ignore' });
  const Port = await FreePort();
  Demo = await StartServerProcess(Exe, 'kexalo-demo over HTTPS', ['--ssl-port=' + Port, '--compression=6']);
  Base = 'https://127.0.0.1:' + Port;
  Chromium = await LaunchSharedBrowser(['--ignore-certificate-errors']);
});
after(async () => {
  if (Chromium) await Chromium.Close();
  if (Demo) await Demo.Close();
  if (AppFolder) fs.rmSync(AppFolder, { recursive: true, force: true });
});

test('the login flow over HTTPS, with the pages gzip coded', async (t) => {
  const Context = await Chromium.NewContext();
  const Page = await Context.newPage();
  const Problems = [];
  Page.on('pageerror', (E) => Problems.push('script error: ' + E.message));
  Page.on('dialog', (D) => { Problems.push('dialog: ' + D.message()); D.dismiss().catch(() => {}); });
  const Answers = [];
  Page.on('response', (R) => { if (R.request().method() === 'POST' && /\/EXEC\//.test(R.url())) Answers.push(R); });
  try {
    const First = await Page.goto(Base + '/');
    assert.ok(First.url().startsWith('https://'), First.url());
    await Page.locator('#KXEDIT2').waitFor();
    await Page.waitForLoadState('load');
    assert.equal(await Page.title(), 'To jest test');
    await Page.locator('#KXEDIT2').fill('kqzv');
    await Page.locator('#KXEDIT3').fill('kqzv');
    await Page.locator('#KXBUTTON3').click();
    await Page.locator('#KXBUTTON1').waitFor();
    assert.equal(await Page.locator('#KXBUTTON1').inputValue(), 'Powrót');
    assert.equal(await Page.locator('#KXEDIT2').count(), 0);
    // the form pages came back coded (the upload frame's answer is below the minimum size), and
    // the browser read them as the forms above
    const Coded = [];
    for (const A of Answers) Coded.push([(await A.allHeaders())['content-encoding'], (await A.allHeaders()).vary]);
    assert.ok(Coded.length >= 2, JSON.stringify(Coded));
    for (const [Encoding, Vary] of Coded) {
      assert.equal(Encoding, 'gzip');
      assert.equal(Vary, 'Accept-Encoding');
    }
    assert.deepEqual(Problems, []);
  } finally {
    await SaveScreenshot(Page, 'https ' + t.name);
    await Context.close();
  }
  // one log line per TLS connection, each naming the cipher and version chosen
  const Log = fs.readdirSync(AppFolder).filter((F) => F.endsWith('.log'))
    .map((F) => fs.readFileSync(path.join(AppFolder, F), 'latin1')).join('');
  assert.match(Log, /Cipher: name = \S+; description = .*; bits = \d+; version = TLSv1\.[23]; /);
  assert.doesNotMatch(Log, /SSL status:/);
});
