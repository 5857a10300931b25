'use strict';
// A page with a file control uploads the file through the control's frame first; the server's
// continuation page then makes the page post itself with the clicked control as the action.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { BrowserSuite, FormPage, ClientObjectInit } = require('./support/harness');

const Suite = BrowserSuite();
before(Suite.Setup);
after(Suite.Teardown);

const kKXTop = 'function KXTop(){ \r\n  if ((parent != self) && (parent != null) ) {\r\n    try {\r\n' +
  '      return parent.KXTop();\r\n    } catch (e) {\r\n      return window;\r\n    }\r\n  } else {\r\n' +
  '    return window;\r\n  }\r\n}\r\n';

function FrameDocument(AName) {
  return '<HTML><HEAD></HEAD><body topmargin="0" leftmargin="0"><form method="POST" enctype="multipart/form-data" ' +
    'name="HiddenSubmitForm" onsubmit="KXTop().GSubmitting = true; KXTop().ShowBusy(true);" action="/upload/0/sid">' +
    '<input type="file" name="' + AName + '" style="height:21; width:275;">' +
    '<input type="hidden" name="KX_ActionParam" value="' + AName + '"><input type="hidden" name="KX_MainPageSubmitControl">' +
    '<input type="hidden" name="KX_MainPageSubmitControlParam">' +
    '<input type="hidden" name="KX_FileSize" value="getFileLength(\'' + AName + '\')"></form></body></HTML>';
}

// The file submission script a page with these file controls (in name order) carries, URL tracking.
function SubmitNextFileScript(ANames) {
  let S = 'var file=0;\r\nfunction SubmitNextFile(AName,AParam){\r\n';
  ANames.forEach((N, I) => {
    S += 'if (file==' + I + '){\r\n' + N + '.document.forms[0].KX_MainPageSubmitControl.value=AName;\r\n' +
      N + '.document.forms[0].KX_MainPageSubmitControlParam.value=AParam;\r\n' +
      N + '.document.forms[0].action="' + '' + '/upload/"+(file+GTrackID)+"/"+GAppID;\r\n' +
      N + '.document.forms[0].submit();\r\n} else ';
  });
  return S + '{ SubmitClickConfirm(AName,AParam,false,"");}\r\nfile++;return false;\r\n}\r\n';
}

function ContinuationPage(AControl, AParam, ATrack) {
  return '<html><head><script>' + kKXTop + 'var p = KXTop().location.protocol + "//" + KXTop().location.host + ' +
    '"/exec/' + ATrack + '/sid";\r\nKXTop().GSubmitting = false; KXTop().ValidClick = true;\r\n' +
    'KXTop().getSubmitForm().action=p;\r\nKXTop().SubmitNextFile(\'' + AControl + '\',\'' + AParam + '\');\r\n' +
    '</script></head></html>';
}

// The value of one part of a multipart body, or undefined.
function PartValue(ABody, AName) {
  const M = new RegExp('name="' + AName + '"(?:; filename="[^"]*")?\\r\\n(?:Content-Type: [^\\r]*\\r\\n)?\\r\\n([^\\r]*)\\r\\n')
    .exec(ABody);
  return M ? M[1] : undefined;
}

test('two file controls upload in name order through their frames before the page is posted', async (t) => {
  await Suite.WithPage(t, async (Page, Errors) => {
    for (const N of ['KXFILE1', 'KXFILE2']) Suite.Server.AddPage('/cache/' + N + '.html', FrameDocument(N));
    const Frame = (N, Top) => '<iframe id="' + N + '" name="' + N + '" src="/cache/' + N + '.html" frameborder="0" ' +
      'scrolling="no" width="275" style="position:absolute;left:20px;top:' + Top + 'px;height:40px"></iframe>';
    const Controls = '<input type="button" id="KXBUTTON4" name="KXBUTTON4" value="Upload" ' +
      'style="position:absolute;left:20px;top:220px">' +
      '<input type="TEXT" id="KXEDIT2" name="KXEDIT2" style="position:absolute;left:320px;top:20px">' +
      Frame('KXFILE1', 100) + Frame('KXFILE2', 150);
    const Html = FormPage({
      Controls, Multipart: true, HiddenInputs: ['KXBUTTON4', 'KXEDIT2'],
      Script: SubmitNextFileScript(['KXFILE1', 'KXFILE2']),
      InitKXCL: [ClientObjectInit('KXBUTTON4'), ClientObjectInit('KXEDIT2'), ClientObjectInit('KXFILE1'),
        ClientObjectInit('KXFILE2'),
        'if (KXBUTTON4KXCL) KXBUTTON4KXCL.HookEvent("click",function(event){' +
        'if (Validate()){SubmitNextFile(\'KXBUTTON4\',\'\');return true;}else{return false;}});'].join('\r\n'),
    });
    const Order = [];
    const Uploads = [];
    let Exec = null;
    await Page.route('**/upload/**', async (Route) => {
      const Body = Route.request().postDataBuffer().toString('latin1');
      Uploads.push({ Url: Route.request().url(), Body });
      Order.push('upload ' + new URL(Route.request().url()).pathname);
      // The server answers each upload with the page that continues the chain, track advanced.
      await Route.fulfill({ status: 200, contentType: 'text/html',
        body: ContinuationPage(PartValue(Body, 'KX_MainPageSubmitControl'), '', Uploads.length) });
    });
    await Page.route('**/exec/**', async (Route) => {
      Exec = { Url: Route.request().url(), Body: Route.request().postDataBuffer().toString('latin1'),
        Type: Route.request().headers()['content-type'] };
      Order.push('exec ' + new URL(Route.request().url()).pathname);
      await Route.fulfill({ status: 200, contentType: 'text/html', body: '<html><body>next page</body></html>' });
    });
    await Page.goto(Suite.Server.AddPage('/upload-page.html', Html));
    await Page.waitForFunction(() => typeof KXCLForm !== 'undefined' && KXCLForm !== null && !IsLocked());
    await Page.fill('#KXEDIT2', 'kept');
    await Page.frame({ name: 'KXFILE1' }).setInputFiles('input[type=file]',
      { name: 'a.txt', mimeType: 'text/plain', buffer: Buffer.from('first file') });
    await Page.frame({ name: 'KXFILE2' }).setInputFiles('input[type=file]',
      { name: 'b.txt', mimeType: 'text/plain', buffer: Buffer.from('second file') });
    await Promise.all([Page.waitForURL('**/exec/**'), Page.click('#KXBUTTON4')]);

    assert.deepEqual(Order, ['upload /upload/0/sid', 'upload /upload/1/sid', 'exec /exec/2/sid']);
    assert.match(Uploads[0].Body, /filename="a.txt"\r\nContent-Type: text\/plain\r\n\r\nfirst file\r\n/);
    assert.equal(PartValue(Uploads[0].Body, 'KX_MainPageSubmitControl'), 'KXBUTTON4');
    assert.equal(PartValue(Uploads[0].Body, 'KX_ActionParam'), 'KXFILE1');
    assert.match(Uploads[1].Body, /filename="b.txt"/);
    assert.match(Exec.Type, /^multipart\/form-data/);
    assert.equal(PartValue(Exec.Body, 'KX_Action'), 'KXBUTTON4');
    assert.equal(PartValue(Exec.Body, 'KXEDIT2'), 'kept');
    assert.doesNotMatch(Exec.Body, /filename=/);   // the files went with the frames, not again with the page
    assert.deepEqual(Errors, []);
  });
});
