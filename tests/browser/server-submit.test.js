'use strict';
// Submitting pages the real server rendered, to the real server: the handler's label on the
// next page tells what the server received. Refused submits must reach the server not at all.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { BrowserSuite, StartFixture } = require('./support/harness');
const { ActionPosts, OpenFixtureForm, ResultText, WaitResult } = require('./support/fixture-pages');

const Suite = BrowserSuite(StartFixture);
before(Suite.Setup);
after(Suite.Teardown);

const kTitle = 'Submit fixture';

function OpenSubmitForm(APage) {
  return OpenFixtureForm(APage, Suite.Server.Base, '', kTitle);
}

// Every dialog the page opens, answered with AAnswer (true: OK / yes).
function AnswerDialogs(APage, AAnswer) {
  const Seen = [];
  APage.on('dialog', async (D) => {
    Seen.push(D.type() + ':' + D.message());
    await (AAnswer ? D.accept() : D.dismiss());
  });
  return Seen;
}

async function PageState(APage) {
  return APage.evaluate(() => ({ Locked: IsLocked(), Processing: !!window.eventProcessing, Submitting: GSubmitting,
    Locker: document.getElementById('KXLocker') ? document.getElementById('KXLocker').style.display : 'absent' }));
}

test('server: the submit copies the typed values and the server runs the button named in KX_Action', async (t) => {
  await Suite.WithPage(t, async (Page, Errors) => {
    const Posts = await OpenSubmitForm(Page);
    const Dialogs = AnswerDialogs(Page, true);
    await Page.fill('#KXEDIT1', 'a & "b" = c');
    await Page.fill('#KXEDIT2', 'łódź');
    await Page.fill('#KXEDIT3', 'p+w%20');
    await Page.click('#KXOK');
    assert.equal(await WaitResult(Page), 'click 1 KXOK() edit1=[a & "b" = c] edit2=[łódź] edit3=[p+w%20]');
    const Sent = ActionPosts(Posts);
    assert.equal(Sent.length, 1);
    assert.equal(Sent[0].Fields.KX_Action, 'KXOK');
    assert.equal(Sent[0].Fields.KX_ActionParam, '');
    assert.equal(Sent[0].Fields.KXEDIT2, 'łódź');
    // The answer is the next page of the same session: the values typed are still in the fields.
    assert.equal(await Page.inputValue('#KXEDIT1'), 'a & "b" = c');
    assert.match(new URL(Page.url()).pathname, /^\/EXEC\/\d+\/[a-z0-9]+$/i);
    assert.deepEqual(Dialogs, []);   // no resynchronisation warning, no failure alert
    assert.deepEqual(Errors, []);
  });
});

test('server: a second click while the first submit is being built reaches the server not at all', async (t) => {
  await Suite.WithPage(t, async (Page, Errors) => {
    const Posts = await OpenSubmitForm(Page);
    const Dialogs = AnswerDialogs(Page, true);
    await Page.fill('#KXEDIT2', 'x');
    await Page.fill('#KXEDIT3', 'y');
    // The second click comes from inside the first submit, just before its form is posted.
    const Inside = await Page.evaluate(() => {
      const Form = getSubmitForm();
      let Seen = null;
      Form.submit = function () {
        document.getElementById('KXOK').click();
        Seen = { Again: SubmitClickConfirm('KXOK', 'again', false, ''), Direct: SubmitClick('KXOK', 'again', false) };
        HTMLFormElement.prototype.submit.call(Form);
      };
      document.getElementById('KXOK').click();
      return Seen;
    });
    assert.deepEqual(Inside, { Again: false, Direct: true });
    assert.equal(await WaitResult(Page), 'click 1 KXOK() edit1=[] edit2=[x] edit3=[y]');
    assert.equal(ActionPosts(Posts).length, 1);

    // A double click on the page that came back: the second click meets the locked page. Both
    // clicks go in one task, so a fast answer cannot slip in between them on a loaded machine.
    await Page.evaluate(() => {
      const Button = document.getElementById('KXOK');
      Button.click();
      Button.click();
    });
    assert.equal(await WaitResult(Page, 'click 1 KXOK() edit1=[] edit2=[x] edit3=[y]'),
      'click 2 KXOK() edit1=[] edit2=[x] edit3=[y]');
    assert.equal(ActionPosts(Posts).length, 2);
    assert.deepEqual(Dialogs, []);
    assert.deepEqual(Errors, []);
  });
});

test('server: a confirmation answered no posts nothing and leaves the page unlocked', async (t) => {
  await Suite.WithPage(t, async (Page, Errors) => {
    const Posts = await OpenSubmitForm(Page);
    let Answer = false;
    const Dialogs = [];
    Page.on('dialog', async (D) => {
      Dialogs.push(D.type() + ':' + D.message());
      await (Answer ? D.accept() : D.dismiss());
    });
    await Page.click('#KXASK');
    assert.deepEqual(Dialogs, ['confirm:Really send?']);
    assert.deepEqual(await PageState(Page), { Locked: false, Processing: false, Submitting: false, Locker: 'none' });
    // Nothing left the browser: give a stray submit time to show up before looking.
    await Page.waitForTimeout(300);
    assert.equal(ActionPosts(Posts).length, 0);
    assert.equal(await ResultText(Page), 'none');

    // The same page still submits: "yes" this time, and no checks on this button.
    Answer = true;
    await Page.click('#KXASK');
    assert.equal(await WaitResult(Page), 'click 1 KXASK() edit1=[] edit2=[] edit3=[]');
    assert.deepEqual(Dialogs, ['confirm:Really send?', 'confirm:Really send?']);
    assert.equal(ActionPosts(Posts).length, 1);
    assert.deepEqual(Errors, []);
  });
});

test('server: a failed required-field check shows only the first message and posts nothing', async (t) => {
  await Suite.WithPage(t, async (Page, Errors) => {
    const Posts = await OpenSubmitForm(Page);
    const Dialogs = AnswerDialogs(Page, true);
    await Page.click('#KXOK');
    assert.deepEqual(Dialogs, ['alert:Login is a required field.']);
    assert.deepEqual(await PageState(Page), { Locked: false, Processing: false, Submitting: false, Locker: 'none' });
    await Page.fill('#KXEDIT2', 'login');
    await Page.click('#KXOK');
    assert.deepEqual(Dialogs, ['alert:Login is a required field.', 'alert:Password is a required field.']);
    await Page.waitForTimeout(300);
    assert.equal(ActionPosts(Posts).length, 0);
    assert.equal(await ResultText(Page), 'none');

    await Page.fill('#KXEDIT3', 'secret');
    await Page.click('#KXOK');
    assert.equal(await WaitResult(Page), 'click 1 KXOK() edit1=[] edit2=[login] edit3=[secret]');
    assert.equal(Dialogs.length, 2);
    assert.equal(ActionPosts(Posts).length, 1);
    assert.deepEqual(Errors, []);
  });
});
