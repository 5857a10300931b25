'use strict';
// Page-level pieces: event wiring on client objects, the lock overlay, page init, the
// partial-update frame and the client-side data set.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { BrowserSuite, FormPage, ClientObjectInit, ScriptRef, CapturePosts, FormFields } = require('./support/harness');

const Suite = BrowserSuite();
before(Suite.Setup);
after(Suite.Teardown);

async function Open(APage, APath, AOptions) {
  await APage.goto(Suite.Server.AddPage(APath, FormPage(AOptions)));
  await APage.waitForFunction(() => typeof KXCLForm !== 'undefined' && KXCLForm !== null && !IsLocked());
}

test('hooked handlers run after the inline one, in order, until one refuses', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    const Controls = '<div id="KXREGION1" style="position:absolute;left:0px;top:0px;width:300px;height:200px">' +
      '<input type="button" id="KXBUTTON1" name="KXBUTTON1" value="B" onclick="Log.push(\'inline\')" ' +
      'style="position:absolute;left:20px;top:20px"></div>';
    await Open(Page, '/events.html', {
      Controls, Script: 'var Log = [];',
      InitKXCL: [ClientObjectInit('KXREGION1'), ClientObjectInit('KXBUTTON1', { Parent: 'KXREGION1KXCL' }),
        'KXBUTTON1KXCL.HookEvent("click", function(event){Log.push("first:" + event.type);return true;});',
        'KXBUTTON1KXCL.HookEvent("Click", function(){Log.push("second");return false;});',
        'KXBUTTON1KXCL.HookEvent("click", function(){Log.push("never");return true;});',
        'KXBUTTON1KXCL.HookEvent("nosuchevent", function(){Log.push("unknown");});',
        'KXREGION1KXCL.HookEvent("click", function(){Log.push("region");return true;});',
        'KXREGION1KXCL.HookEvent("mouseover", function(){Log.push("over");return true;});'].join('\r\n'),
    });
    await Page.evaluate(() => document.getElementById('KXBUTTON1').click());
    assert.deepEqual(await Page.evaluate(() => [Log, ValidClick]),
      [['inline', 'first:click', 'second', 'region'], false]);
    // An event the button has no handlers for reaches the region's.
    await Page.evaluate(() => { Log = []; ValidClick = true; });
    await Page.dispatchEvent('#KXBUTTON1', 'mouseover');
    assert.deepEqual(await Page.evaluate(() => [Log, ValidClick]), [['over'], true]);
  });
});

test('the lock overlay covers the page above the controls and swallows clicks until released', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    const Controls = '<input type="button" id="KXBUTTON1" name="KXBUTTON1" value="B" onclick="window.Clicked=true" ' +
      'style="position:absolute;left:20px;top:20px;z-index:100">';
    await Open(Page, '/lock.html', { Controls, InitKXCL: ClientObjectInit('KXBUTTON1') });
    const Shown = await Page.evaluate(() => {
      ActivateLock();
      const L = document.getElementById('KXLocker');
      const S = getComputedStyle(L);
      const Hit = document.elementFromPoint(30, 30);
      return { Locked: IsLocked(), Display: S.display, Position: S.position, Z: S.zIndex, Width: L.offsetWidth,
        Background: S.backgroundColor, Hit: Hit && Hit.id };
    });
    assert.deepEqual(Shown, { Locked: true, Display: 'block', Position: 'absolute', Z: '10000',
      Width: await Page.evaluate(() => document.body.clientWidth), Background: 'rgba(0, 0, 0, 0)', Hit: 'KXLocker' });
    await Page.mouse.click(30, 30);
    assert.equal(await Page.evaluate(() => window.Clicked), undefined);
    await Page.evaluate(() => ReleaseLock());
    await Page.mouse.click(30, 30);
    assert.deepEqual(await Page.evaluate(() => [IsLocked(), window.Clicked]), [false, true]);
  });
});

test('a page without a locker gets one on first use; the image is centred on it', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    await Open(Page, '/lock-lazy.html', { LockOnSubmit: false, LockUntilLoaded: false });
    const R = await Page.evaluate(() => {
      const Before = document.getElementById('KXLocker');
      ShowBusy(false);
      const AfterHide = document.getElementById('KXLocker');
      ShowBusy(true);
      const Made = document.getElementById('KXLocker');
      Made.parentNode.removeChild(Made);
      createKXLocker('/gfx/loading.gif');
      const WithImage = document.getElementById('KXLocker');
      return [Before, AfterHide, Made.style.display, WithImage.style.display,
        WithImage.getElementsByTagName('img').length];
    });
    assert.deepEqual(R, [null, null, 'block', 'none', 1]);
  });
});

test('page init focuses the active control and unlocks a page locked until loaded', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    const Controls = '<input type="TEXT" id="KXEDIT2" name="KXEDIT2" style="position:absolute;left:20px;top:20px">' +
      '<input type="TEXT" id="KXEDIT3" name="KXEDIT3" style="position:absolute;left:20px;top:60px">';
    await Open(Page, '/focus.html', { Controls, HiddenInputs: ['KXEDIT2', 'KXEDIT3'], ActiveControl: 'KXEDIT3',
      InitKXCL: ClientObjectInit('KXEDIT2') + ClientObjectInit('KXEDIT3') });
    assert.deepEqual(await Page.evaluate(() => [document.activeElement.id, IsLocked(),
      document.getElementById('KXLocker').style.display, FindFocus('KXEDIT2') === document.getElementById('KXEDIT2')]),
    ['KXEDIT3', false, 'none', true]);
  });
});

test('a partial-update page posts through its frame, and the frame\'s answer replaces controls', async (t) => {
  await Suite.WithPage(t, async (Page, Errors) => {
    Suite.Server.AddPage('/cache/submit.html', '<html><head>' + ScriptRef('KXPartialUpdate.js') + '</head><body>' +
      '<form method="POST" name="SubmitForm" action="/UPDATE/0/sid"><input type="HIDDEN" name="KXEDIT2">' +
      '<input type="HIDDEN" name="KX_Action"><input type="HIDDEN" name="KX_ActionParam"></form></body></html>');
    const Controls = '<div id="KXLABEL1_UPDATE"><span id="KXLABEL1" style="position:absolute;left:10px;top:100px">old</span></div>' +
      '<input type="TEXT" id="KXEDIT2" name="KXEDIT2" style="position:absolute;left:20px;top:20px">' +
      '<input type="button" id="KXBUTTON1" name="KXBUTTON1" value="B" style="position:absolute;left:20px;top:60px">';
    const Html = FormPage({ Controls, InitKXCL: ClientObjectInit('KXLABEL1') + ClientObjectInit('KXEDIT2'),
      BodyEnd: '<IFRAME SRC="/cache/submit.html" id="SubmitFrame" ' +
        'style="position:absolute;left:-1000px;top:-1000px"></IFRAME>' })
      .replace('var GIsPartialUpdate=false;', 'var GIsPartialUpdate=true;');
    const Capture = CapturePosts(Page, '**/UPDATE/**');
    await Capture.Ready;
    // The frame's answer: the submit document of a partial update.
    await Page.route('**/UPDATE/**', async (Route) => {
      Capture.Posts.push({ Body: Route.request().postData() });
      await Route.fulfill({ status: 200, contentType: 'text/html', body: '<html><head>' +
        ScriptRef('KXPartialUpdate.js') + '<script>\r\nfunction updateControls() {\r\n' +
        'KXUpdate("KXLABEL1", "<span id=\\"KXLABEL1\\" style=\\"position:absolute;left:10px;top:100px\\">new</span>");}\r\n' +
        'function init() { \r\nupdateControls();\r\nKXTop().InitRects(491, 265);\r\nKXTop().InitKXCLObjects();\r\n' +
        'KXCLUpdate("KXLABEL1",false,11,101,50,20);\r\nKXTop().Body_OnResize();\r\nKXTop().GSubmitting=false;\r\n' +
        'KXTop().ValidClick=true;\r\n}\r\n</script>\r\n</head><body onload="init()"><form method="POST" name="SubmitForm" ' +
        'action="/UPDATE/1/sid"><input type="HIDDEN" name="KXEDIT2"><input type="HIDDEN" name="KX_Action">' +
        '<input type="HIDDEN" name="KX_ActionParam"></form></body></html>' });
    });
    await Page.goto(Suite.Server.AddPage('/partial.html', Html));
    await Page.waitForFunction(() => typeof KXCLForm !== 'undefined' && KXCLForm !== null && !IsLocked() &&
      getSubmitForm() !== null);
    await Page.fill('#KXEDIT2', 'typed');
    await Page.evaluate(() => SubmitClickConfirm('KXBUTTON1', 'p', false, ''));
    await Page.waitForFunction(() => document.getElementById('KXLABEL1').textContent === 'new');
    assert.equal(Capture.Posts.length, 1);
    assert.deepEqual(FormFields(Capture.Posts[0].Body), { KXEDIT2: 'typed', KX_Action: 'KXBUTTON1', KX_ActionParam: 'p' });
    await Page.waitForFunction(() => KXLABEL1KXCL && KXLABEL1KXCL.Visible === false);
    assert.deepEqual(await Page.evaluate(() => [location.pathname, KXLABEL1KXCL.style.visibility,
      [KXLABEL1KXCL.OriginalRect.left, KXLABEL1KXCL.OriginalRect.width], !!document.getElementById('KXLABEL1_INVALID'),
      getSubmitForm().getAttribute('action')]),
    ['/partial.html', 'hidden', [11, 50], false, '/UPDATE/1/sid']);
    assert.deepEqual(Errors, []);
  });
});

test('the client data set walks its rows and tells listeners of moves and changes', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    await Page.goto(Suite.Server.AddPage('/csdata.html', '<html><head>' + ScriptRef('KXCSData.js') +
      '</head><body></body></html>'));
    const R = await Page.evaluate(() => {
      const D = new CSDataSet(['Name', 'Age'], [['ann', 30], ['bob', 40], ['cy', 50]]);
      const Heard = [];
      D.AddChangeListener((S, Kind, F) => Heard.push(Kind + (F ? ':' + F.FieldName : '')));
      const Walk = [];
      for (D.First(); !D.EOF(); D.Next()) Walk.push(D.FieldByName('name').AsString());
      const AtEnd = [D.EOF(), D.FieldByName('Name').getValue()];
      D.Prior();
      D.FieldByName('Age').setValue(41);
      D.Last();
      D.Prior();
      const Back = [D.BOF(), D.FieldByName('Age').getValue()];
      let Missing = '';
      try { D.FieldByName('Nope'); } catch (E) { Missing = E.message; }
      const Empty = new CSDataSet(['A'], []);
      return { Walk, AtEnd, Back, Heard, Missing, Empty: [Empty.EOF(), Empty.BOF(), Empty.FieldByName('A').AsString()] };
    });
    assert.deepEqual(R, { Walk: ['ann', 'bob', 'cy'], AtEnd: [true, 'cy'], Back: [false, 41],
      Heard: ['scroll', 'scroll', 'scroll', 'change:Age', 'scroll', 'scroll'], Missing: "Field 'Nope' not found",
      Empty: [true, true, ''] });
  });
});
