'use strict';
// Submitting a page: the visible values travel in the hidden submit form with the control's name
// in KX_Action; refusals (a second click, a "no" to the confirmation, a failed check) post nothing.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { BrowserSuite, FormPage, ClientObjectInit, CapturePosts, FormFields } = require('./support/harness');

const Suite = BrowserSuite();
before(Suite.Setup);
after(Suite.Teardown);

const kLoginControls =
  '<input type="button" id="KXBUTTON3" name="KXBUTTON3" value="OK" style="position:absolute;left:20px;top:200px" ' +
  'onclick="return SubmitClickConfirm(\'KXBUTTON3\',\'\', true, \'\');">' +
  '<input type="TEXT" id="KXEDIT2" name="KXEDIT2" style="position:absolute;left:20px;top:20px">' +
  '<input type="TEXT" id="KXEDIT3" name="KXEDIT3" style="position:absolute;left:20px;top:60px">' +
  '<input type="checkbox" id="KXCHECK1" name="KXCHECK1" style="position:absolute;left:20px;top:100px">' +
  '<select id="KXLIST1" name="KXLIST1" multiple style="position:absolute;left:200px;top:20px">' +
  '<option value="a" selected>A</option><option value="b">B</option><option value="c" selected>C</option></select>' +
  '<select id="KXCOMBO1" name="KXCOMBO1" style="position:absolute;left:200px;top:100px">' +
  '<option value="x">X</option><option value="y" selected>Y</option></select>';
const kLoginHidden = ['KXBUTTON3', 'KXEDIT2', 'KXEDIT3', 'KXCHECK1', 'KXLIST1', 'KXCOMBO1'];
const kLoginInit = kLoginHidden.map((N) => ClientObjectInit(N)).join('\r\n');

function LoginPage(AExtra) {
  return FormPage(Object.assign({ Controls: kLoginControls, HiddenInputs: kLoginHidden, InitKXCL: kLoginInit },
    AExtra));
}

async function OpenPage(APage, APath, AHtml) {
  const Capture = CapturePosts(APage, '**/exec/**');
  await Capture.Ready;
  await APage.goto(Suite.Server.AddPage(APath, AHtml));
  await APage.waitForFunction(() => typeof KXCLForm !== 'undefined' && KXCLForm !== null && !IsLocked());
  return Capture;
}

test('submit copies the visible values and posts the control name in KX_Action', async (t) => {
  await Suite.WithPage(t, async (Page, Errors) => {
    const Capture = await OpenPage(Page, '/submit-values.html', LoginPage());
    await Page.fill('#KXEDIT2', 'demo user');
    await Page.fill('#KXEDIT3', 'p&ss=1');
    await Page.check('#KXCHECK1');
    await Promise.all([Page.waitForURL('**/exec/**'), Page.click('#KXBUTTON3')]);
    assert.equal(Capture.Posts.length, 1);
    const Post = Capture.Posts[0];
    assert.equal(Post.Method, 'POST');
    assert.match(Post.Url, /\/exec\/0\/sid$/);
    const Fields = FormFields(Post.Body);
    assert.equal(Fields.KX_Action, 'KXBUTTON3');
    assert.equal(Fields.KX_ActionParam, '');
    assert.equal(Fields.KX_FormName, 'KXForm1');
    assert.equal(Fields.KX_FormClass, 'TKXForm1');
    assert.equal(Fields.KXEDIT2, 'demo user');
    assert.equal(Fields.KXEDIT3, 'p&ss=1');
    assert.equal(Fields.KXCHECK1, 'on');
    assert.equal(Fields.KXLIST1, 'a,a,c,');   // the first selected value, then every selected one
    assert.equal(Fields.KXCOMBO1, 'y');
    assert.equal(Fields.KXBUTTON3, '');       // a button posts nothing of its own
    assert.deepEqual(Errors, []);
  });
});

test('values that give nothing: an unchecked box, an empty selection', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    await OpenPage(Page, '/submit-empty.html', LoginPage());
    const Values = await Page.evaluate(() => {
      document.getElementById('KXLIST1').selectedIndex = -1;
      document.getElementById('KXCOMBO1').selectedIndex = -1;
      return [KXInputValue('KXCHECK1'), KXInputValue('KXLIST1'), KXInputValue('KXCOMBO1'), KXInputValue('KXBUTTON3')];
    });
    assert.deepEqual(Values, ['off', '-1', '-1', null]);
  });
});

test('a second click while the first submit is being built posts nothing', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    // The progress hook runs inside the first submit, just before the form is posted.
    const Progress = '<script>var PreScript=true; function PreProgressScript() {ReleaseLock();' +
      'window.SecondClick = SubmitClickConfirm("KXBUTTON3", "again", false, "");' +
      'window.SecondDirect = SubmitClick("KXBUTTON3", "again", false);}</script>' +
      '<script>var PreAsyncScript=false;PostAsyncScript=false;</script>';
    const Capture = await OpenPage(Page, '/submit-twice.html', LoginPage({ ProgressScripts: Progress }));
    const Results = await Page.evaluate(() => {
      document.forms.SubmitForm.submit = function () { window.Submits = (window.Submits || 0) + 1; };
      const First = SubmitClickConfirm('KXBUTTON3', '', false, '');
      return { First, Second: window.SecondClick, Direct: window.SecondDirect, Submits: window.Submits,
        Processing: window.eventProcessing, Submitting: GSubmitting };
    });
    assert.deepEqual(Results, { First: true, Second: false, Direct: true, Submits: 1, Processing: false,
      Submitting: false });
    assert.equal(Capture.Posts.length, 0);
  });
});

test('a locked page or a running event refuses the click', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    const Capture = await OpenPage(Page, '/submit-locked.html', LoginPage());
    const Results = await Page.evaluate(() => {
      ActivateLock();
      const Locked = SubmitClickConfirm('KXBUTTON3', '', false, '');
      ReleaseLock();
      window.eventProcessing = true;
      const Busy = SubmitClickConfirm('KXBUTTON3', '', false, '');
      window.eventProcessing = false;
      // A resize report in flight: nothing is posted and the page is not left locked or busy.
      GSubmitting = true;
      const Reporting = SubmitClickConfirm('KXBUTTON3', '', false, '');
      const After = { Locked: IsLocked(), Processing: window.eventProcessing };
      const Confirming = SubmitClickConfirm('KXBUTTON3', '', false, 'Sure?');
      GSubmitting = false;
      return { Locked, Busy, Reporting, After, Confirming, Processing: window.eventProcessing };
    });
    assert.deepEqual(Results, { Locked: false, Busy: false, Reporting: true,
      After: { Locked: false, Processing: false }, Confirming: false, Processing: false });
    assert.equal(Capture.Posts.length, 0);
  });
});

test('a confirmation answered no posts nothing and leaves the page unlocked', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    const Capture = await OpenPage(Page, '/submit-confirm.html', LoginPage());
    const Questions = [];
    Page.on('dialog', async (D) => { Questions.push(D.type() + ':' + D.message()); await D.dismiss(); });
    const Result = await Page.evaluate(() => {
      const R = SubmitClickConfirm('KXBUTTON3', '', false, 'Really log in?');
      return { R, Locked: IsLocked(), Processing: window.eventProcessing, Submitting: GSubmitting,
        LockerShown: document.getElementById('KXLocker').style.display };
    });
    assert.deepEqual(Questions, ['confirm:Really log in?']);
    assert.deepEqual(Result, { R: true, Locked: false, Processing: false, Submitting: false, LockerShown: 'none' });
    // The page still answers clicks: "yes" this time posts it.
    Page.removeAllListeners('dialog');
    Page.on('dialog', (D) => D.accept());
    await Promise.all([Page.waitForURL('**/exec/**'),
      Page.evaluate(() => SubmitClickConfirm('KXBUTTON3', 'p1', false, 'Really log in?'))]);
    assert.equal(Capture.Posts.length, 1);
    assert.equal(FormFields(Capture.Posts[0].Body).KX_ActionParam, 'p1');
  });
});

test('a failed validation shows the first message only, releases the lock and posts nothing', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    const Validations = [
      { Condition: 'KXEDIT2KXCL != null && KXEDIT2KXCL.value.length==0', Message: 'Login is a required field.' },
      { Condition: 'KXEDIT3KXCL != null && KXEDIT3KXCL.value.length==0', Message: 'Password is a required field.' },
    ];
    const Capture = await OpenPage(Page, '/submit-validate.html', LoginPage({ Validations }));
    const Alerts = [];
    Page.on('dialog', async (D) => { Alerts.push(D.type() + ':' + D.message()); await D.accept(); });
    await Page.click('#KXBUTTON3');
    const State = await Page.evaluate(() => ({ Locked: IsLocked(), Processing: window.eventProcessing,
      Submitting: GSubmitting }));
    assert.deepEqual(Alerts, ['alert:Login is a required field.']);
    assert.deepEqual(State, { Locked: false, Processing: false, Submitting: false });
    assert.equal(Capture.Posts.length, 0);
    // Both filled in: the same click posts.
    await Page.fill('#KXEDIT2', 'a');
    await Page.fill('#KXEDIT3', 'b');
    await Promise.all([Page.waitForURL('**/exec/**'), Page.click('#KXBUTTON3')]);
    assert.equal(Alerts.length, 1);
    assert.equal(Capture.Posts.length, 1);
  });
});

test('Return in an edit submits with the edit as the action; other keys pass', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    const Capture = await OpenPage(Page, '/submit-return.html', LoginPage({
      InitKXCL: kLoginInit + '\r\nif (KXEDIT2KXCL) KXEDIT2KXCL.HookEvent("keypress",function(event){' +
        'var res = CheckReturnKey(event.which, \'KXEDIT2\', false)\r\nreturn res;});',
    }));
    await Page.focus('#KXEDIT2');
    await Page.keyboard.type('ab');
    assert.equal(await Page.inputValue('#KXEDIT2'), 'ab');
    await Promise.all([Page.waitForURL('**/exec/**'), Page.keyboard.press('Enter')]);
    assert.equal(Capture.Posts.length, 1);
    const Fields = FormFields(Capture.Posts[0].Body);
    assert.equal(Fields.KX_Action, 'KXEDIT2');
    assert.equal(Fields.KXEDIT2, 'ab');
  });
});
