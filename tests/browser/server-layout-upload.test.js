'use strict';
// Pages of the real server that lean on the browser: anchored controls re-flowed as the window
// grows (and kept so by the server after a post), and a file sent through the file control's
// frame before the page itself, arriving byte for byte.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { BrowserSuite, StartFixture } = require('./support/harness');
const { ActionPosts, OpenFixtureForm, WaitReady, WaitResult } = require('./support/fixture-pages');

const Suite = BrowserSuite(StartFixture);
before(Suite.Setup);
after(Suite.Teardown);

// The start page reports the window 30 pixels narrower than it is; the Gecko file lays the page
// out 2 pixels narrower (no scroll bars here).
const kProbeMargin = 30;
const kLayoutMargin = 2;

function Layout(APage) {
  return APage.evaluate(() => {
    const E = document.getElementById('KXSTRETCH');
    return { Reported: Number(document.forms.SubmitForm.KX_width.value), LaidOut: KXCLForm.OriginalRect.width,
      Designed: KXSTRETCHKXCL.OriginalRect.width, Width: E.offsetWidth, Left: E.offsetLeft };
  });
}

// Resizes the window so that the page reports AWidth, and waits for the re-flow.
async function ReportWidth(APage, AWidth) {
  await APage.setViewportSize({ width: AWidth + kLayoutMargin, height: 400 });
  await APage.waitForFunction((W) => Number(document.forms.SubmitForm.KX_width.value) === W, AWidth);
  return Layout(APage);
}

test('server: on a form laid out 491 wide, a 121-pixel control anchored left and right is 221 wide at 591',
  async (t) => {
    await Suite.WithPage(t, async (Page, Errors) => {
      // The size probe reports 491: the server lays the form out at its designed width.
      await Page.setViewportSize({ width: 491 + kProbeMargin, height: 400 });
      await OpenFixtureForm(Page, Suite.Server.Base, 'layout', 'Layout fixture');
      const Loaded = await Layout(Page);
      assert.equal(Loaded.LaidOut, 491);
      assert.equal(Loaded.Designed, 121);

      assert.deepEqual(await ReportWidth(Page, 491), { Reported: 491, LaidOut: 491, Designed: 121, Width: 121, Left: 40 });
      assert.deepEqual(await ReportWidth(Page, 591), { Reported: 591, LaidOut: 491, Designed: 121, Width: 221, Left: 40 });

      // A post carries the width: the server's form and control follow it, so the next page
      // shows the control as wide as the browser had made it.
      await Page.click('#KXSIZES');
      assert.equal(await WaitResult(Page), 'form=591 stretch=221');
      await WaitReady(Page, 'Layout fixture');
      assert.deepEqual(await Layout(Page), { Reported: 591, LaidOut: 591, Designed: 221, Width: 221, Left: 40 });
      assert.deepEqual(await ReportWidth(Page, 491), { Reported: 491, LaidOut: 591, Designed: 221, Width: 121, Left: 40 });
      assert.deepEqual(Errors, []);
    });
  });

// Bytes a text-only transfer would damage: NUL, CR LF, a boundary-like line, high bytes.
const kFileBytes = Buffer.concat([Buffer.from([0, 1, 2, 0xff, 0xfe, 0x0d, 0x0a]),
  Buffer.from('\r\n--boundary--\r\nłódź\r\n'), Buffer.alloc(3000, 0xab), Buffer.from([0x0d])]);

test('server: the file control uploads through its frame before the submit, and the server gets the same bytes',
  async (t) => {
    await Suite.WithPage(t, async (Page, Errors) => {
      const Posts = await OpenFixtureForm(Page, Suite.Server.Base, 'upload', 'Upload fixture');
      // The request events carry no file bodies: the frame's upload is looked at on its way through.
      const Uploads = [];
      await Page.route('**/upload/**', async (Route) => {
        Uploads.push(Route.request().postDataBuffer() || Buffer.alloc(0));
        await Route.continue();
      });
      await Page.fill('#KXEDIT1', 'kept');
      const Frame = Page.frame({ name: 'KXFILE1' });
      assert.ok(Frame, 'the file control renders a frame named after it');
      await Frame.setInputFiles('input[type=file]', { name: 'data.bin', mimeType: 'application/octet-stream',
        buffer: kFileBytes });
      await Page.click('#KXSEND');
      const Result = /^upload name=\[(.*)\] type=\[(.*)\] size=(\d+) hex=([0-9a-f]*) edit1=\[(.*)\]$/.exec(
        await WaitResult(Page));
      assert.ok(Result, 'the handler ran');
      const [, Name, Type, Size, Hex, Edit] = Result;
      assert.deepEqual({ Name, Type: Type.trim(), Size: Number(Size), Edit },
        { Name: 'data.bin', Type: 'application/octet-stream', Size: kFileBytes.length, Edit: 'kept' });
      // Compared without printing 6 kB of hex on a failure.
      const Received = Buffer.from(Hex, 'hex');
      assert.ok(Received.equals(kFileBytes), 'the bytes differ first at offset ' +
        kFileBytes.findIndex((B, I) => Received[I] !== B));

      // The order on the wire: the frame's upload, then the page's own post without the file.
      const Sent = ActionPosts(Posts);
      assert.deepEqual(Sent.map((P) => P.Path.split('/')[1].toUpperCase()), ['UPLOAD', 'EXEC']);
      assert.match(Sent[0].Type, /^multipart\/form-data; boundary=/);
      assert.equal(Uploads.length, 1);
      assert.ok(Uploads[0].includes(kFileBytes), 'the upload carries the file');
      assert.ok(!Sent[1].Bytes.includes(Buffer.from('filename=')), 'the page post carries no file');
      // The page posts as multipart too, with the clicked button (not the file control) as the action.
      assert.match(Sent[1].Bytes.toString('latin1'), /name="KX_Action"\r\n\r\nKXSEND\r\n/);

      assert.deepEqual(Errors, []);
    });
  });
