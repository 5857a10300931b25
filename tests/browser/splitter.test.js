'use strict';
// Splitter grips on the near edge of their region (right- and bottom-aligned regions): dragging
// towards the owner's origin grows the region, its position follows, the field keeps the server's
// numbers moved by as much, and both the smallest size and the neighbour's share are kept.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { BrowserSuite, FormPage, ClientObjectInit, ScriptRef } = require('./support/harness');

const Suite = BrowserSuite();
before(Suite.Setup);
after(Suite.Teardown);

// A region as the server draws it with its grip: the field holds the server's "position,size".
function Region(AName, ASide, AValue, AStyle, AGripStyle) {
  return '<div id="' + AName + '" style="position:absolute;' + AStyle + 'overflow:hidden;background:#ccd;">' +
    '<form onsubmit="return FormDefaultSubmit();"><input name="' + AName + '_data" id="' + AName + '_data" ' +
    'type="hidden" value="' + AValue + '"></form><div id="' + AName + '_grip" onmousedown="return GripMouseDown(event,\'' +
    ASide + '\')" style="z-index:11000;' + AGripStyle + '"></div></div>';
}

const kBandGrip = 'top:0px; WIDTH: 100%; height:6px;border-top: 3px outset; border-bottom: 3px outset;  POSITION: absolute; ' +
  'overflow: hidden;cursor: n-resize;';
const kSideGrip = 'left:0px; top:0px; height: 100%; width:6px;border-top: none; border-bottom: none;border-left: 3px groove; ' +
  'border-right: 3px groove; POSITION: absolute; overflow: hidden; cursor: w-resize;z-index:10000;';

function Geometry(APage) {
  return APage.evaluate(() => {
    const R = {};
    for (const N of ['RIGHT', 'BOTTOM', 'CLIENT']) {
      const E = document.getElementById(N);
      R[N] = [E.offsetLeft, E.offsetTop, E.offsetWidth, E.offsetHeight];
    }
    R.Data = [document.getElementById('RIGHT_data').value, document.getElementById('BOTTOM_data').value];
    return R;
  });
}

async function Drag(APage, AGrip, ADx, ADy) {
  const Box = await APage.locator('#' + AGrip).boundingBox();
  const X = Box.x + Box.width / 2 + (ADy ? 30 : 0);
  const Y = Box.y + Box.height / 2 + (ADx ? 30 : 0);
  await APage.mouse.move(X, Y);
  await APage.mouse.down();
  await APage.mouse.move(X + ADx, Y + ADy, { steps: 4 });
  await APage.mouse.up();
}

test('splitter: grips on the near edge grow their regions towards the origin, within the smallest and largest size',
  async (t) => {
    await Suite.WithPage(t, async (Page, Errors) => {
      const Controls = Region('RIGHT', 'left', '391,100', 'left:391px;top:0px;width:100px;height:205px;', kSideGrip) +
        Region('BOTTOM', 'top', '205,60', 'left:0px;top:205px;width:491px;height:60px;', kBandGrip) +
        '<div id="CLIENT" style="position:absolute;left:0px;top:0px;width:391px;height:205px;background:#eee;"></div>';
      await Page.goto(Suite.Server.AddPage('/splitter.html', FormPage({
        Controls, BodyEnd: ScriptRef('KXSplitter.js'),
        InitKXCL: [
          ClientObjectInit('RIGHT', { Align: 'alRight', Anchors: [false, true, true, true] }),
          ClientObjectInit('BOTTOM', { Align: 'alBottom', Anchors: [true, true, false, true] }),
          ClientObjectInit('CLIENT', { Align: 'alClient', Anchors: [true, true, true, true] }),
        ].join('\r\n'),
      })));
      await Page.waitForFunction(() => typeof KXCLForm !== 'undefined' && KXCLForm !== null && KXCLForm.ClientRect &&
        typeof GripMouseDown === 'function' && !IsLocked());
      const At = await Geometry(Page);

      await Drag(Page, 'RIGHT_grip', -50, 0);
      const Wider = await Geometry(Page);
      assert.deepEqual(Wider.RIGHT, [At.RIGHT[0] - 50, At.RIGHT[1], At.RIGHT[2] + 50, At.RIGHT[3]]);
      assert.deepEqual(Wider.CLIENT, [At.CLIENT[0], At.CLIENT[1], At.CLIENT[2] - 50, At.CLIENT[3]]);
      assert.deepEqual(Wider.Data, ['341,150', '205,60']);

      // The band is placed before the sides: the side region and the client area lose its growth.
      await Drag(Page, 'BOTTOM_grip', 0, -30);
      const Taller = await Geometry(Page);
      assert.deepEqual(Taller.BOTTOM, [At.BOTTOM[0], At.BOTTOM[1] - 30, At.BOTTOM[2], At.BOTTOM[3] + 30]);
      assert.equal(Taller.RIGHT[3], At.RIGHT[3] - 30);
      assert.equal(Taller.CLIENT[3], At.CLIENT[3] - 30);
      assert.deepEqual(Taller.Data, ['341,150', '175,90']);

      // Pulled far away the band keeps its smallest size; pushed across, the side region leaves
      // the client area that much.
      await Drag(Page, 'BOTTOM_grip', 0, 80);
      const Low = await Geometry(Page);
      assert.equal(Low.BOTTOM[3], 16);
      assert.equal(Low.Data[1], (175 + Taller.BOTTOM[3] - 16) + ',16');
      await Drag(Page, 'RIGHT_grip', -640, 0);
      const Widest = await Geometry(Page);
      assert.equal(Widest.CLIENT[2], 16);
      assert.equal(Widest.RIGHT[0], 16);
      assert.deepEqual(Errors, []);
    });
  });
