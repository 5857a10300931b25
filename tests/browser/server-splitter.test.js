'use strict';
// The splitter grip of a region on a page of the real server: dragging it moves the region's edge,
// the client-aligned neighbour follows, and the next post carries the new width to the server.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { BrowserSuite, StartFixture } = require('./support/harness');
const { ActionPosts, OpenFixtureForm, WaitReady, WaitResult } = require('./support/fixture-pages');

const Suite = BrowserSuite(StartFixture);
before(Suite.Setup);
after(Suite.Teardown);

function Geometry(APage) {
  return APage.evaluate(() => {
    const Left = document.getElementById('KXLEFT');
    const Rest = document.getElementById('KXREST');
    return { Width: Left.offsetWidth, RestLeft: Rest.offsetLeft, RestWidth: Rest.offsetWidth,
      Data: document.getElementById('KXLEFT_data').value };
  });
}

// Presses the mouse on the grip, moves it ADx pixels sideways in a few steps, and lets go.
async function DragGrip(APage, ADx) {
  const Box = await APage.locator('#KXLEFT_grip').boundingBox();
  assert.ok(Box && Box.width > 0, 'the grip is drawn');
  const X = Box.x + Box.width / 2;
  const Y = Box.y + 40;
  await APage.mouse.move(X, Y);
  await APage.mouse.down();
  await APage.mouse.move(X + ADx / 2, Y, { steps: 3 });
  await APage.mouse.move(X + ADx, Y, { steps: 3 });
  await APage.mouse.up();
}

test('server: dragging the grip of a left-aligned region widens it, its neighbour follows, the post carries the width',
  async (t) => {
    await Suite.WithPage(t, async (Page, Errors) => {
      const Posts = await OpenFixtureForm(Page, Suite.Server.Base, 'splitter', 'Splitter fixture');
      const Before = await Geometry(Page);
      assert.equal(Before.Data, '0,120');
      assert.equal(Before.RestLeft, Before.Width);

      await DragGrip(Page, 80);
      const After = await Geometry(Page);
      assert.deepEqual(After, { Width: Before.Width + 80, RestLeft: Before.RestLeft + 80,
        RestWidth: Before.RestWidth - 80, Data: '0,200' });

      // The handler runs after the posted width was applied, and the next page is drawn so.
      await Page.click('#KXSIZES');
      const Result = await WaitResult(Page);
      assert.match(Result, /^left=200 rest=200,\d+$/);
      const Sent = ActionPosts(Posts);
      assert.equal(Sent.length, 1);
      assert.equal(Sent[0].Fields.KXLEFT_data, '0,200');
      await WaitReady(Page, 'Splitter fixture');
      assert.deepEqual(await Geometry(Page), After);

      // Dragged far to the left it keeps its smallest size, and says so in its field.
      await DragGrip(Page, -500);
      const Smallest = await Geometry(Page);
      assert.equal(Smallest.Width, 16);
      assert.equal(Smallest.RestLeft, 16);
      assert.equal(Smallest.Data, '0,' + (200 + 16 - After.Width));
      assert.deepEqual(Errors, []);
    });
  });
