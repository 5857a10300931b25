'use strict';
// The demonstration application end to end: the real kexalo-demo executable on a free port, its
// current folder a fresh temporary folder (uploads land there), driven through Chromium the way a
// user would: typing, choosing a file, clicking.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { LaunchSharedBrowser, SaveScreenshot, StartServerProcess } = require('./support/harness');

const kDemo = process.env.KX_DEMO_EXECUTABLE || path.resolve(__dirname, '../../build/bin/kexalo-demo');
const kWrongLogin = 'Nieprawidłowy login lub hasło';

let Demo = null;
let Chromium = null;
before(async () => {
  Demo = await StartServerProcess(kDemo, 'kexalo-demo');
  Chromium = await LaunchSharedBrowser();
});
after(async () => {
  if (Chromium) await Chromium.Close();
  if (Demo) await Demo.Close();
});

// A fresh browser context per test (its own session); script errors and dialogs (the server shows
// handler exceptions as alerts) fail the test; the pages are saved as they were at the end.
async function WithDemo(ATestContext, APageCount, ABody) {
  const Contexts = [];
  const Pages = [];
  const Problems = [];
  try {
    for (let I = 0; I < APageCount; ++I) {
      const Context = await Chromium.NewContext();
      Contexts.push(Context);
      const Page = await Context.newPage();
      Page.on('pageerror', (E) => Problems.push('script error: ' + E.message));
      Page.on('dialog', (D) => { Problems.push('dialog: ' + D.message()); D.dismiss().catch(() => {}); });
      Pages.push(Page);
    }
    await ABody(...Pages);
    assert.deepEqual(Problems, []);
  } finally {
    for (let I = 0; I < Pages.length; ++I)
      await SaveScreenshot(Pages[I], 'demo ' + ATestContext.name + (Pages.length > 1 ? ' ' + I : ''));
    for (const C of Contexts) await C.close();
  }
}

// Waits until the page's own init ran: its load event fired and the lock it holds while loading is gone.
async function Settled(APage) {
  await APage.waitForLoadState('load');
  const Locker = APage.locator('#KXLocker');
  if (await Locker.count()) await Locker.waitFor({ state: 'hidden' });
}

async function ExpectLoginForm(APage) {
  await APage.locator('#KXEDIT2').waitFor();
  await Settled(APage);
  assert.equal(await APage.title(), 'To jest test');
  assert.equal(await APage.locator('#KXBUTTON3').inputValue(), 'OK');
  assert.equal(await APage.locator('#KXBUTTON4').inputValue(), 'Załaduj');
  assert.equal(await APage.locator('#KXLABEL1').textContent(), 'login :');
  assert.equal(await APage.locator('#KXLABEL2').textContent(), 'hasło :');
}

async function ExpectSecondForm(APage) {
  await APage.locator('#KXBUTTON1').waitFor();
  await Settled(APage);
  assert.equal(await APage.locator('#KXBUTTON1').inputValue(), 'Powrót');
  assert.equal(await APage.locator('#KXEDIT2').count(), 0);
}

async function OpenLogin(APage) {
  await APage.goto(Demo.Base + '/');
  await ExpectLoginForm(APage);
}

async function TypeLogin(APage, ALogin, APassword) {
  await APage.locator('#KXEDIT2').fill(ALogin);
  await APage.locator('#KXEDIT3').fill(APassword);
  await APage.locator('#KXBUTTON3').click();
}

// Clicks and resolves with the answer to the page's own post (after any uploads) once the answer
// has replaced the page: the answer may show the same form, so the old document is marked.
async function ClickAndAwaitPost(APage, ASelector) {
  await APage.evaluate(() => { window.KXTestOldPage = true; });
  const Posted = APage.waitForResponse((R) => R.request().method() === 'POST' && /\/EXEC\/\d+\//.test(R.url()) &&
    R.frame() === APage.mainFrame());
  await APage.locator(ASelector).click();
  const Response = await Posted;
  await APage.waitForFunction(() => !window.KXTestOldPage);
  await Settled(APage);
  return Response;
}

test('the right login shows the second form and Powrót a fresh, empty login form', async (t) => {
  await WithDemo(t, 1, async (Page) => {
    await OpenLogin(Page);
    await TypeLogin(Page, 'kqzv', 'kqzv');
    await ExpectSecondForm(Page);

    await Page.locator('#KXBUTTON1').click();
    await ExpectLoginForm(Page);
    assert.equal(await Page.locator('#KXEDIT2').inputValue(), '');
    assert.equal(await Page.locator('#KXEDIT3').inputValue(), '');
    // the fresh login form works like the first one
    await TypeLogin(Page, 'kqzv', 'kqzv');
    await ExpectSecondForm(Page);
  });
});

test('a wrong login shows the message page and its Ok brings the login form back', async (t) => {
  await WithDemo(t, 1, async (Page) => {
    await OpenLogin(Page);
    for (const [Login, Password] of [['KQZV', 'kqzv'], [' kqzv', 'kqzv'], ['kqzv', 'kqzv ']]) {
      await TypeLogin(Page, Login, Password);
      await Page.locator('#TEXTMESSAGE').waitFor();
      await Settled(Page);
      assert.equal((await Page.locator('#TEXTMESSAGE').textContent()).trim(), kWrongLogin,
        JSON.stringify([Login, Password]));
      assert.equal(await Page.locator('#BUTNOK').inputValue(), 'Ok');
      await Page.locator('#BUTNOK').click();
      await ExpectLoginForm(Page);
    }
  });
});

test('Załaduj saves the chosen file byte for byte in the server\'s current folder', async (t) => {
  // Line breaks, NUL bytes, every byte value and a line that looks like a part boundary.
  const All = Buffer.alloc(256);
  for (let I = 0; I < 256; ++I) All[I] = I;
  const Content = Buffer.concat([Buffer.from('first line\r\nsecond\0line\r\n\r\n--\r\n------WebKitFormBoundary\r\n\0\0', 'latin1'),
    All, Buffer.from('\r\n\n\r last\r\n', 'latin1')]);
  await WithDemo(t, 1, async (Page) => {
    await OpenLogin(Page);
    await Page.frameLocator('#KXFILE1').locator('input[type=file]').setInputFiles({
      name: 'kx-upload.bin', mimeType: 'application/octet-stream', buffer: Content });
    const Answer = await ClickAndAwaitPost(Page, '#KXBUTTON4');
    assert.equal(Answer.status(), 200);
    await ExpectLoginForm(Page);
    const Saved = path.join(Demo.WorkDir, 'kx-upload.bin');
    assert.ok(fs.existsSync(Saved), 'not saved; the folder holds ' + JSON.stringify(fs.readdirSync(Demo.WorkDir)));
    assert.ok(fs.readFileSync(Saved).equals(Content), 'the saved bytes differ from the chosen file');
  });
});

test('Załaduj without a file writes nothing and stays on the login form', async (t) => {
  await WithDemo(t, 1, async (Page) => {
    await OpenLogin(Page);
    const Before = fs.readdirSync(Demo.WorkDir).sort();
    const Answer = await ClickAndAwaitPost(Page, '#KXBUTTON4');
    assert.equal(Answer.status(), 200);
    await ExpectLoginForm(Page);
    assert.deepEqual(fs.readdirSync(Demo.WorkDir).sort(), Before);
  });
});

test('two browsers logging in at the same time each reach their own second form', async (t) => {
  await WithDemo(t, 2, async (A, B) => {
    await Promise.all([OpenLogin(A), OpenLogin(B)]);
    const Ids = await Promise.all([A, B].map((P) => P.evaluate(() => GAppID)));
    assert.notEqual(Ids[0], Ids[1]);
    await Promise.all([A, B].map(async (P) => {
      await P.locator('#KXEDIT2').fill('kqzv');
      await P.locator('#KXEDIT3').fill('kqzv');
    }));
    await Promise.all([A.locator('#KXBUTTON3').click(), B.locator('#KXBUTTON3').click()]);
    await Promise.all([ExpectSecondForm(A), ExpectSecondForm(B)]);
    // each page still belongs to its own session
    assert.deepEqual(await Promise.all([A, B].map((P) => P.evaluate(() => GAppID))), Ids);
    assert.ok(A.url().endsWith('/' + Ids[0]) && B.url().endsWith('/' + Ids[1]), A.url() + ' ' + B.url());
    // the two sessions go on independently
    await A.locator('#KXBUTTON1').click();
    await ExpectLoginForm(A);
    await B.locator('#KXBUTTON1').click();
    await ExpectLoginForm(B);
  });
});
