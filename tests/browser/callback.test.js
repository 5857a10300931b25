'use strict';
// Asynchronous callbacks: what is sent (GET without a sending control, POST with the submit form's
// own fields and the changed controls), one at a time with repeats collapsed, and how the XML
// answer is applied to the page.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { BrowserSuite, FormPage, ClientObjectInit, FormFields } = require('./support/harness');

const Suite = BrowserSuite();
before(Suite.Setup);
after(Suite.Teardown);

const kControls =
  '<input type="button" id="KXBUTTON3" name="KXBUTTON3" value="OK" style="position:absolute;left:20px;top:200px">' +
  '<input type="TEXT" id="KXEDIT2" name="KXEDIT2" maxlength="5" style="position:absolute;left:20px;top:20px">' +
  '<input type="TEXT" id="KXEDIT3" name="KXEDIT3" style="position:absolute;left:20px;top:60px">' +
  '<span id="KXLABEL1" style="position:absolute;left:200px;top:20px;width:100px;height:20px">Label</span>';
const kInit = [ClientObjectInit('KXBUTTON3'), ClientObjectInit('KXEDIT2'), ClientObjectInit('KXEDIT3'),
  ClientObjectInit('KXLABEL1'),
  'if (KXBUTTON3KXCL) KXBUTTON3KXCL.HookEvent("click",function(event){processAjaxEvent(event, KXBUTTON3KXCL,' +
  '"KXBUTTON3.DoOnAsyncClick",false, null, true);\r\nreturn true;});',
  'if (KXEDIT2KXCL) KXEDIT2KXCL.HookEvent("keypress",function(event){OnControlContentChange(event);\r\nreturn true;});',
].join('\r\n');

// Callback requests are held until the test answers them, so that it can act while one is in flight.
async function OpenPage(APage, APath) {
  const Held = [];
  await APage.route('**/callback/**', (Route) => {
    const Req = Route.request();
    Held.push({ Route, Method: Req.method(), Url: new URL(Req.url()), Body: Req.postData() || '' });
  });
  await APage.goto(Suite.Server.AddPage(APath, FormPage({ Controls: kControls, InitKXCL: kInit,
    HiddenInputs: ['KXBUTTON3', 'KXEDIT2', 'KXEDIT3', 'note'] })));
  await APage.waitForFunction(() => typeof KXCLForm !== 'undefined' && KXCLForm !== null && !IsLocked());
  return Held;
}

async function WaitForCount(APage, AList, ACount) {
  for (let I = 0; I < 200 && AList.length < ACount; I++) await APage.waitForTimeout(10);
  assert.equal(AList.length, ACount, 'callback requests sent');
}

function Answer(AHeld, AXml, AStatus) {
  return AHeld.Route.fulfill({ status: AStatus || 200, contentType: 'text/html; charset=UTF-8', body: AXml });
}

const kEmptyAnswer = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><response><update></update>' +
  '<execute></execute></response>';

test('a callback without a sending control is a GET with the callback name and event parameters only', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    const Held = await OpenPage(Page, '/cb-get.html');
    await Page.evaluate(() => KXTimer(true, 30, 'KXFILE1.DoOnStatus'));
    await WaitForCount(Page, Held, 1);
    const First = Held[0];
    assert.equal(First.Method, 'GET');
    assert.equal(First.Url.pathname, '/callback/0/sid');
    assert.deepEqual([...First.Url.searchParams.keys()], ['callback', 'AjaxRequestUniqueId']);
    assert.equal(First.Url.searchParams.get('callback'), 'KXFILE1.DoOnStatus');
    await Answer(First, kEmptyAnswer);
    await WaitForCount(Page, Held, 2);   // the timer keeps calling while enabled
    assert.notEqual(Held[1].Url.searchParams.get('AjaxRequestUniqueId'), First.Url.searchParams.get('AjaxRequestUniqueId'));
    // Stopped, it sends nothing new; ticks that were already queued behind the one in flight still go.
    await Page.evaluate(() => KXTimer(false, 30, 'KXFILE1.DoOnStatus'));
    let Answered = 1;
    for (let Quiet = 0; Quiet < 15; Quiet++) {
      await Page.waitForTimeout(10);
      if (Answered < Held.length) { await Answer(Held[Answered++], kEmptyAnswer); Quiet = 0; }
    }
    const Sent = Held.length;
    await Page.waitForTimeout(150);
    assert.equal(Held.length, Sent);
    assert.equal(await Page.evaluate(() => window.eventProcessing), false);
  });
});

test('a control event posts the form fields; a typed-in edit adds its own field', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    const Held = await OpenPage(Page, '/cb-post.html');
    await Page.click('#KXBUTTON3', { modifiers: ['Shift'] });
    await WaitForCount(Page, Held, 1);
    const Post = Held[0];
    assert.equal(Post.Method, 'POST');
    assert.equal(Post.Url.pathname, '/callback/0/sid');
    assert.equal(Post.Url.searchParams.get('callback'), 'KXBUTTON3.DoOnAsyncClick');
    assert.equal(Post.Url.searchParams.get('which'), '1');
    assert.equal(Post.Url.searchParams.get('modifiers'), 'SHIFT_MASK');
    assert.match(Post.Url.searchParams.get('x'), /^\d+$/);
    assert.deepEqual(Object.keys(FormFields(Post.Body)).sort(),
      ['KXBUTTON3', 'KX_Action', 'KX_ActionParam', 'KX_FormClass', 'KX_FormName', 'KX_height', 'KX_width']);
    assert.equal(FormFields(Post.Body).KX_Action, 'KXBUTTON3');
    await Answer(Post, kEmptyAnswer);
    await Page.waitForFunction(() => !window.eventProcessing);

    await Page.focus('#KXEDIT2');
    await Page.keyboard.type('abc');
    await Page.click('#KXBUTTON3');
    await WaitForCount(Page, Held, 2);
    const Fields = FormFields(Held[1].Body);
    assert.equal(Fields.KXEDIT2, 'abc');
    assert.equal(Fields.KXEDIT3, undefined);
    await Answer(Held[1], kEmptyAnswer);
    await Page.waitForFunction(() => !window.eventProcessing);
    assert.equal(await Page.evaluate(() => window.ChangedControls), '');
  });
});

test('repeats of one callback collapse to the latest; appended ones are all sent, one at a time', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    const Held = await OpenPage(Page, '/cb-queue.html');
    const Fire = (AParams, AAppend) => Page.evaluate(([P, A]) =>
      executeAjaxEvent(P, KXLABEL1KXCL, 'KXLABEL1.DoOnAsyncMouseMove', false, null, A), [AParams, AAppend]);
    await Fire('&n=1', false);
    await WaitForCount(Page, Held, 1);
    for (const N of [2, 3, 4]) await Fire('&n=' + N, false);
    await Page.waitForTimeout(50);
    assert.equal(Held.length, 1, 'nothing more while one is in flight');
    await Answer(Held[0], kEmptyAnswer);
    await WaitForCount(Page, Held, 2);
    assert.equal(Held[1].Url.searchParams.get('n'), '4');
    await Answer(Held[1], kEmptyAnswer);
    await Page.waitForFunction(() => !window.eventProcessing);
    await Page.waitForTimeout(50);
    assert.equal(Held.length, 2);

    const Click = (N) => Page.evaluate((P) =>
      executeAjaxEvent(P, KXBUTTON3KXCL, 'KXBUTTON3.DoOnAsyncClick', true, null, true), '&c=' + N);
    for (const N of [1, 2, 3]) await Click(N);
    for (const N of [1, 2, 3]) {
      await WaitForCount(Page, Held, 2 + N);
      assert.equal(Held[1 + N].Url.searchParams.get('c'), String(N));
      await Page.waitForTimeout(30);
      assert.equal(Held.length, 2 + N, 'the next waits for the answer');
      await Answer(Held[1 + N], kEmptyAnswer);
    }
    await Page.waitForFunction(() => !window.eventProcessing && window.eventQueue.length === 0);
  });
});

test('a failed callback is only logged; an empty failure stops the page calling back', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    const Held = await OpenPage(Page, '/cb-fail.html');
    const Fire = () => Page.evaluate(() => executeAjaxEvent('', KXLABEL1KXCL, 'KXLABEL1.DoOnAsyncClick', true, null, true));
    await Fire();
    await WaitForCount(Page, Held, 1);
    await Answer(Held[0], 'Internal error', 500);
    await Page.waitForFunction(() => !window.eventProcessing);
    await Fire();
    await WaitForCount(Page, Held, 2);
    await Answer(Held[1], '', 500);
    await Page.waitForFunction(() => !window.eventProcessing);
    assert.equal(await Page.evaluate(() => window.serverProblem), true);
    await Fire();
    await Page.waitForTimeout(60);
    assert.equal(Held.length, 2);
  });
});

test('an answer updates controls, hidden fields and the submit address, then runs its scripts', async (t) => {
  await Suite.WithPage(t, async (Page, Errors) => {
    const Held = await OpenPage(Page, '/cb-apply.html');
    await Page.evaluate(() => executeAjaxEvent('', KXLABEL1KXCL, 'KXLABEL1.DoOnAsyncClick', true, null, true));
    await WaitForCount(Page, Held, 1);
    await Answer(Held[0], '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><response><update>' +
      '<control id="KXForm1" type="KXFORM"><hiddenfield id="note"><![CDATA[a b & c]]></hiddenfield></control>' +
      '<control id="KXLABEL1" type="KXLABEL"><innerhtml><![CDATA[Hi <b>there</b>]]></innerhtml>' +
      '<style><attribute name="textAlign">center</attribute><attribute name="backgroundColor">#FFFF00</attribute></style>' +
      '<hint>not shown</hint><color>ignored</color></control>' +
      '<control id="kxedit2" type="KXEDIT"><readonly>true</readonly><text>from server</text><maxlength>0</maxlength>' +
      '<css>Warn</css></control>' +
      '<control id="KXEDIT3" type="KXEDIT"><enabled>false</enabled><maxlength>-1</maxlength><text></text></control>' +
      '<control id="MISSING" type="KXLABEL"><innerhtml>x</innerhtml></control></update>' +
      '<execute><literal><![CDATA[window.Ran = [topmost() === window, document.getElementById("KXLABEL1").textContent];]]>' +
      '</literal><literal>var GFromAnswer = 5;</literal></execute><submit>/exec/1/sid</submit></response>');
    await Page.waitForFunction(() => !window.eventProcessing);
    const State = await Page.evaluate(() => {
      const L = document.getElementById('KXLABEL1');
      const E2 = document.getElementById('KXEDIT2');
      const E3 = document.getElementById('KXEDIT3');
      return { Label: L.innerHTML, Align: L.style.textAlign, Back: L.style.backgroundColor, Title: L.title,
        E2: [E2.value, E2.readOnly, E2.maxLength, E2.className], E3: [E3.value, E3.disabled, E3.maxLength],
        Note: document.forms.SubmitForm.note.value, Action: document.forms.SubmitForm.getAttribute('action'),
        Ran: window.Ran, Global: window.GFromAnswer };
    });
    assert.deepEqual(State, { Label: 'Hi <b>there</b>', Align: 'center', Back: 'rgb(255, 255, 0)', Title: '',
      E2: ['from server', true, 2147483647, 'Warn'], E3: ['', true, 0], Note: 'a b & c', Action: '/exec/1/sid',
      Ran: [true, 'Hi there'], Global: 5 });
    assert.deepEqual(Errors, []);
  });
});

test('an answer without exactly one response element is ignored; user changes are not overwritten', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    await OpenPage(Page, '/cb-ignore.html');
    const State = await Page.evaluate(() => {
      const Parse = (S) => new DOMParser().parseFromString(S, 'text/xml');
      const Label = '<control id="KXLABEL1" type="KXLABEL"><innerhtml>changed</innerhtml></control>';
      processAjaxResponse(Parse('<root><response><update>' + Label + '</update></response><response/></root>'));
      processAjaxResponse(Parse('<root>' + Label + '</root>'));
      const Untouched = document.getElementById('KXLABEL1').innerHTML;
      AddChangedControl('KXLABEL1');
      processAjaxResponse(Parse('<response><update>' + Label + '</update></response>'));
      return [Untouched, document.getElementById('KXLABEL1').innerHTML];
    });
    assert.deepEqual(State, ['Label', 'Label']);
  });
});
