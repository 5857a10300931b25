'use strict';
// Shared fixtures of the browser tests: Debian's Chromium driven by playwright-core, a static
// server over 127.0.0.1 that serves the real script files the way the server names them
// ("/js/<file>_10.0.0"), page builders that write what a rendered page writes, and a screenshot
// of every test's last page.
const fs = require('node:fs');
const http = require('node:http');
const { spawn } = require('node:child_process');
const os = require('node:os');
const path = require('node:path');
const { chromium } = require('playwright-core');

const kChromium = process.env.KX_CHROMIUM || '/usr/bin/chromium';
// The browser files are assembled by the build from lib/assets/scripts/browser: look there first.
const kScriptDirs = [process.env.KX_ASSEMBLED_SCRIPTS || path.resolve(__dirname, '../../../build/lib/assets/scripts'),
  path.resolve(__dirname, '../../../lib/assets/scripts')];

function FindScript(AName) {
  for (const Dir of kScriptDirs) {
    const File = path.join(Dir, AName);
    if (fs.existsSync(File)) return File;
  }
  return null;
}
const kVersionSuffix = '_10.0.0';
const kArtifactDir = process.env.KX_BROWSER_ARTIFACTS ||
  path.resolve(__dirname, '../../../build/test-artifacts');
const kChromiumFlags = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

// Pages registered by the tests, by path; everything else under /js/ comes from lib/assets/scripts.
function StartServer() {
  const Pages = new Map();
  const Server = http.createServer((Req, Res) => {
    const Url = new URL(Req.url, 'http://127.0.0.1');
    if (Pages.has(Url.pathname)) {
      Res.writeHead(200, { 'Content-Type': 'text/html; charset=UTF-8', 'Cache-Control': 'no-cache' });
      Res.end(Pages.get(Url.pathname));
      return;
    }
    const Match = /^\/js\/([A-Za-z0-9_]+\.js)(_10\.0\.0)?$/.exec(Url.pathname);
    const File = Match && FindScript(Match[1]);
    if (File) {
      Res.writeHead(200, { 'Content-Type': 'application/x-javascript', 'Cache-Control': 'no-cache' });
      Res.end(fs.readFileSync(File));
      return;
    }
    Res.writeHead(404, { 'Content-Type': 'text/plain' });
    Res.end('not found: ' + Url.pathname);
  });
  return new Promise((Resolve, Reject) => {
    Server.once('error', Reject);
    Server.listen(0, '127.0.0.1', () => {
      const Base = 'http://127.0.0.1:' + Server.address().port;
      Resolve({
        Base,
        AddPage(APath, AHtml) { Pages.set(APath, AHtml); return Base + APath; },
        Close() { return new Promise((R) => Server.close(() => R())); },
      });
    });
  });
}

// A missing browser is a failure, never a skip: CI installs Chromium, so its absence is a fault.
async function LaunchBrowser() {
  if (!fs.existsSync(kChromium))
    throw new Error('Chromium not found at ' + kChromium + ': install the Debian package chromium (scripts/install-deps.sh)');
  const UserDataDir = fs.mkdtempSync(path.join(os.tmpdir(), 'kx-chromium-'));
  let Context;
  try {
    Context = await chromium.launchPersistentContext(UserDataDir, {
      executablePath: kChromium,
      headless: true,
      args: kChromiumFlags,
      viewport: { width: 800, height: 600 },
    });
  } catch (E) {
    fs.rmSync(UserDataDir, { recursive: true, force: true });
    throw E;
  }
  return {
    Context,
    async Close() {
      await Context.close();
      fs.rmSync(UserDataDir, { recursive: true, force: true });
    },
  };
}

const kFixture = process.env.KX_BROWSER_FIXTURE || path.resolve(__dirname, '../../../build/bin/kexalo-browser-fixture');

// A real server: an executable on the standalone host, on a port the system chooses, with a
// current folder and a temporary folder (its cache) of its own. Output() is everything it printed
// so far; WorkDir is its current folder (uploads land there).
function StartServerProcess(AExecutable, AWhat, AExtraArgs = []) {
  if (!fs.existsSync(AExecutable)) throw new Error(AWhat + ' is not built: ' + AExecutable);
  const WorkDir = fs.mkdtempSync(path.join(os.tmpdir(), 'kx-server-work-'));
  const TempDir = fs.mkdtempSync(path.join(os.tmpdir(), 'kx-server-tmp-'));
  const Env = Object.assign({}, process.env, { TMPDIR: TempDir });
  delete Env.DISPLAY;   // the console window stays closed: the log goes to the terminal
  const Child = spawn(AExecutable, ['--headless', '--port=0', ...AExtraArgs], { cwd: WorkDir, env: Env, stdio: ['ignore', 'pipe', 'pipe'] });
  const RemoveFolders = () => { for (const D of [WorkDir, TempDir]) fs.rmSync(D, { recursive: true, force: true }); };
  let Output = '';
  const Exited = new Promise((Resolve) => Child.once('exit', (Code, Signal) => Resolve({ Code, Signal })));
  let Settled = false;
  return new Promise((Resolve, Reject) => {
    const Timer = setTimeout(() => Fail(new Error(AWhat + ' printed no port within 20 s:\n' + Output)), 20000);
    function Fail(AError) {
      if (Settled) return;
      Settled = true;
      clearTimeout(Timer);
      Child.kill('SIGKILL');
      RemoveFolders();
      Reject(AError);
    }
    function Read(AChunk) {
      Output += AChunk.toString('utf8');
      const Match = /HTTP Port: (\d+)/.exec(Output);
      if (!Match || Settled) return;
      Settled = true;
      clearTimeout(Timer);
      Resolve({
        Base: 'http://127.0.0.1:' + Match[1],
        WorkDir,
        Output: () => Output,
        // Stops it as an operator would; a server that does not end cleanly fails the suite.
        async Close() {
          Child.kill('SIGTERM');
          const Killer = setTimeout(() => Child.kill('SIGKILL'), 20000);
          const Result = await Exited;
          clearTimeout(Killer);
          RemoveFolders();
          if (Result.Code !== 0)
            throw new Error(AWhat + ' did not stop cleanly (' + JSON.stringify(Result) + '):\n' + Output);
        },
      });
    }
    Child.stdout.on('data', Read);
    Child.stderr.on('data', Read);
    Child.once('error', Fail);
    Exited.then((R) => Fail(new Error(AWhat + ' stopped before serving (' + JSON.stringify(R) + '):\n' + Output)));
  });
}

// The fixture application of the server-side browser tests.
function StartFixture() { return StartServerProcess(kFixture, 'the fixture server'); }

// A browser whose tests open contexts of their own: each context has its own cookies, cache and
// storage, as separate browsers would.
async function LaunchSharedBrowser(AExtraFlags = []) {
  if (!fs.existsSync(kChromium))
    throw new Error('Chromium not found at ' + kChromium + ': install the Debian package chromium (scripts/install-deps.sh)');
  const Browser = await chromium.launch({ executablePath: kChromium, headless: true, args: [...kChromiumFlags, ...AExtraFlags] });
  return {
    Browser,
    NewContext() { return Browser.newContext({ viewport: { width: 800, height: 600 } }); },
    Close() { return Browser.close(); },
  };
}

// Saves the page as the test left it under the test's name; a page that cannot be captured
// (already closed, crashed) does not fail the test on top of its own failure.
async function SaveScreenshot(APage, ATestName) {
  fs.mkdirSync(kArtifactDir, { recursive: true });
  const Name = String(ATestName).replace(/[^A-Za-z0-9]+/g, '-').replace(/^-|-$/g, '');
  await APage.screenshot({ path: path.join(kArtifactDir, 'browser-' + Name + '.png') }).catch(() => {});
}

// One browser and one server per test file (the static one unless AStartServer is given, e.g.
// StartFixture); each test gets a fresh page and leaves a screenshot.
function BrowserSuite(AStartServer = StartServer) {
  const Suite = { Browser: null, Server: null };
  Suite.Setup = async () => {
    Suite.Server = await AStartServer();
    Suite.Browser = await LaunchBrowser();
  };
  Suite.Teardown = async () => {
    if (Suite.Browser) await Suite.Browser.Close();
    if (Suite.Server) await Suite.Server.Close();
  };
  // Runs ABody(page) and saves the page as it was at the end, also when the test failed.
  Suite.WithPage = async (ATestContext, ABody) => {
    const Page = await Suite.Browser.Context.newPage();
    const Errors = [];
    Page.on('pageerror', (E) => Errors.push(E.message));
    try {
      await ABody(Page, Errors);
    } finally {
      await SaveScreenshot(Page, ATestContext.name);
      await Page.close();
    }
  };
  return Suite;
}

const kFamilyFile = { explorer: 'KXExplorer.js', gecko: 'KXGecko.js', opera: 'KXOpera.js' };

function ScriptRef(AFile) {
  return '<script type="text/javascript" src="/js/' + AFile + kVersionSuffix + '"></script>';
}

// A page shaped like a rendered form: KXPreScript first, the page script with the globals and the
// Initialize function, the library files, then the browser file; the body carries the locker, the
// progress flags, the controls and the hidden submit form.
function FormPage(AOptions) {
  const O = Object.assign({
    Title: 'Test', Width: 491, Height: 265, Family: 'gecko', LockOnSubmit: true, LockUntilLoaded: true,
    Controls: '', HiddenInputs: [], Validations: [], InitKXCL: '', InitCode: '', Script: '', BodyEnd: '',
    Action: '/exec/0/sid', Multipart: false, ProgressScripts: null, ActiveControl: '',
  }, AOptions);
  const Validate = ['function Validate() {'];
  for (const V of O.Validations)
    Validate.push('  if(' + V.Condition + ') {', '    ReleaseLock();', '    window.alert("' + V.Message + '");',
      '    return false;', '  }');
  Validate.push('  return true;', '}');
  const Init = ['StaticInit();', 'GActivateLock = ' + (O.LockOnSubmit ? 'true' : 'false') + ';',
    'InitRects(' + O.Width + ', ' + O.Height + ');', 'InitKXCLObjects();', O.InitCode, 'Body_OnResize();',
    O.LockUntilLoaded ? 'ReleaseLock();' : ''];
  if (O.ActiveControl)
    Init.push('GActiveControl="' + O.ActiveControl + '";',
      'if (GActiveControl) { var xElem; xElem = FindFocus(GActiveControl); if (xElem != null) { xElem.focus();}}');
  const Progress = O.ProgressScripts ||
    '<script language="Javascript">var PreScript=false;PostScript=false;</script>' +
    '<script language="Javascript">var PreAsyncScript=false;PostAsyncScript=false;</script>';
  const Hidden = O.HiddenInputs.map((N) => '<input type="HIDDEN" name="' + N + '">').join('\r\n  ');
  return '<html><head><title>' + O.Title + '</title>' +
    '<script type="text/javascript" src="/js/KXPreScript.js' + kVersionSuffix + '"></script>\r\n' +
    '<script type="text/javascript">\r\n' + O.Script +
    'function FormDefaultSubmit(){return false;}var GIsPartialUpdate=false;var GOnResizetimeout=1000;' +
    'var GURLBase="";var GAppID="sid";var GTrackID=0;function KXTop(){return window;}var GActiveControl = null;' +
    Validate.join('\r\n') + '\r\nfunction InitKXCLObjects() {\r\n' + O.InitKXCL + '\r\n}\r\n' +
    'function Initialize() {\r\n' + Init.join('') + '\r\n}\r\n</script>\r\n' +
    ScriptRef('KXCommon.js') + ScriptRef('KXCL.js') + ScriptRef('KXAjax.js') + ScriptRef(kFamilyFile[O.Family]) +
    '</head>\r\n<body onresize="return Body_OnResize();" topmargin="0" leftmargin="0" onload="Initialize()"' +
    ' onunload="ReleaseKXCL()" onblur="GSubmitting = false;">\r\n  ' +
    (O.LockOnSubmit || O.LockUntilLoaded
      ? '<script type="text/javascript">createKXLocker("");' + (O.LockUntilLoaded ? 'ActivateLock();' : '') + '</script>'
      : '') +
    Progress + '<form onsubmit="return FormDefaultSubmit();">' + O.Controls + '</form>' +
    '<form method="POST" name="SubmitForm" action="' + O.Action + '"' +
    (O.Multipart ? ' enctype="multipart/form-data"' : '') + '>\r\n  ' + Hidden +
    '\r\n  <input type="HIDDEN" name="KX_Action">\r\n  <input type="HIDDEN" name="KX_ActionParam">' +
    '\r\n  <input type="HIDDEN" name="KX_FormName" value="KXForm1">' +
    '\r\n  <input type="HIDDEN" name="KX_FormClass" value="TKXForm1">' +
    '\r\n  <input type="HIDDEN" name="KX_width">\r\n  <input type="HIDDEN" name="KX_height">\r\n</form>' +
    O.BodyEnd + '</body></html>\r\n';
}

// The init lines a control registers for its client object (and its layout data when not the default).
function ClientObjectInit(AName, AOptions) {
  const O = Object.assign({ Parent: 'KXCLForm', Align: null, Anchors: null }, AOptions);
  let S = AName + 'KXCL = NewKXCL(' + O.Parent + ',"' + AName + '",false);';
  if (O.Align || O.Anchors) {
    const A = O.Anchors || [true, false, true, false];
    S += 'if (' + AName + 'KXCL != null) {  ' + AName + 'KXCL.SetAlign(' + (O.Align || 'alNone') + ');\r\n ' +
      AName + 'KXCL.SetAnchors(new CreateAnchors(' + A.join(', ') + '));}';
  }
  return S;
}

// Resolves with the first request the page posts to APattern (the request is answered with an empty page).
function CapturePosts(APage, APattern) {
  const Posts = [];
  const Ready = APage.route(APattern, async (Route) => {
    const Req = Route.request();
    Posts.push({ Method: Req.method(), Url: Req.url(), Body: Req.postData() || '', Headers: Req.headers() });
    await Route.fulfill({ status: 200, contentType: 'text/html', body: '<html><body>posted</body></html>' });
  });
  return { Posts, Ready };
}

function FormFields(ABody) {
  const Fields = {};
  for (const [K, V] of new URLSearchParams(ABody)) Fields[K] = V;
  return Fields;
}

module.exports = { BrowserSuite, StartFixture, StartServerProcess, LaunchBrowser, LaunchSharedBrowser, SaveScreenshot,
  FormPage, ClientObjectInit, CapturePosts, FormFields, ScriptRef, FindScript };
