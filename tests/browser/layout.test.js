'use strict';
// Client layout: anchored controls follow the form's width and height, aligned controls share the
// client area in their fixed order, and the browser files re-flow when the window size changes.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { BrowserSuite, FormPage, ClientObjectInit } = require('./support/harness');

const Suite = BrowserSuite();
before(Suite.Setup);
after(Suite.Teardown);

function Box(AName, ALeft, ATop, AWidth, AHeight, AExtraStyle) {
  return '<div id="' + AName + '" style="position:absolute;left:' + ALeft + 'px;top:' + ATop + 'px;width:' + AWidth +
    'px;height:' + AHeight + 'px;background:#ccd;' + (AExtraStyle || '') + '">' + AName + '</div>';
}

async function Open(APage, APath, AOptions) {
  await APage.goto(Suite.Server.AddPage(APath, FormPage(AOptions)));
  await APage.waitForFunction(() => typeof KXCLForm !== 'undefined' && KXCLForm !== null);
}

// Lays the form out at the given size and reads back the rectangle each control's style now has.
function Reflow(APage, AWidth, AHeight, ANames) {
  return APage.evaluate(([W, H, Names]) => {
    KXCLForm.UpdateRects(new Rect(0, 0, W, H));
    // Read in the same turn as the layout: a window resize timer may lay out again afterwards.
    const R = { Submitted: [document.forms.SubmitForm.KX_width.value, document.forms.SubmitForm.KX_height.value] };
    for (const N of Names) {
      const E = document.getElementById(N);
      R[N] = [parseInt(E.style.left, 10), parseInt(E.style.top, 10), parseInt(E.style.width, 10),
        parseInt(E.style.height, 10)];
    }
    return R;
  }, [AWidth, AHeight, ANames]);
}

test('anchors: left and right stretch, right only moves, neither keeps the centre in proportion', async (t) => {
  await Suite.WithPage(t, async (Page, Errors) => {
    const Controls = Box('STRETCH', 20, 20, 121, 21) + Box('RIGHTONLY', 20, 60, 121, 21) +
      Box('CENTRED', 20, 100, 121, 21) + Box('BOTTOM', 20, 200, 121, 21) + Box('PLAIN', 20, 140, 121, 21);
    await Open(Page, '/anchors.html', {
      Controls, Family: 'opera',   // no body timers in the way: the test calls the layout itself
      InitKXCL: [
        ClientObjectInit('STRETCH', { Anchors: [true, true, true, false] }),
        ClientObjectInit('RIGHTONLY', { Anchors: [false, true, true, false] }),
        ClientObjectInit('CENTRED', { Anchors: [false, false, true, false] }),
        ClientObjectInit('BOTTOM', { Anchors: [true, false, false, true] }),
        ClientObjectInit('PLAIN'),
      ].join('\r\n'),
    });
    const R = await Reflow(Page, 591, 365, ['STRETCH', 'RIGHTONLY', 'CENTRED', 'BOTTOM', 'PLAIN']);
    assert.deepEqual(R.STRETCH, [20, 20, 221, 21]);
    assert.deepEqual(R.RIGHTONLY, [120, 60, 121, 21]);
    // centre 80.5 of 491 keeps its proportion of 591: 96.9, so the left edge is 36
    assert.deepEqual(R.CENTRED, [36, 100, 121, 21]);
    assert.deepEqual(R.BOTTOM, [20, 300, 121, 21]);
    assert.deepEqual(R.PLAIN, [20, 140, 121, 21]);
    // Back to the original size: everything where it started, nothing accumulates.
    const Back = await Reflow(Page, 491, 265, ['STRETCH', 'RIGHTONLY', 'CENTRED']);
    assert.deepEqual(Back, { STRETCH: [20, 20, 121, 21], RIGHTONLY: [20, 60, 121, 21], CENTRED: [20, 100, 121, 21],
      Submitted: ['491', '265'] });   // the submit form carries the size the server will be told
    assert.deepEqual(Errors, []);
  });
});

test('alignment: tops from the top down, bottoms from the lowest up, rights from the right-most leftwards', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    const Controls = Box('TOP2', 0, 50, 50, 30) + Box('TOP1', 0, 10, 50, 20) + Box('BOTTOM1', 0, 150, 50, 25) +
      Box('BOTTOM2', 0, 200, 50, 15) + Box('LEFT1', 0, 100, 40, 10) + Box('RIGHT1', 300, 100, 30, 10) +
      Box('RIGHT2', 400, 100, 20, 10) + Box('HIDDEN', 0, 0, 60, 60, 'visibility:hidden;') + Box('CLIENT', 0, 0, 10, 10);
    const Aligned = [['TOP2', 'alTop'], ['TOP1', 'alTop'], ['BOTTOM1', 'alBottom'], ['BOTTOM2', 'alBottom'],
      ['LEFT1', 'alLeft'], ['RIGHT1', 'alRight'], ['RIGHT2', 'alRight'], ['HIDDEN', 'alTop'], ['CLIENT', 'alClient']];
    const Natural = { alTop: [true, true, true, false], alBottom: [true, true, false, true],
      alLeft: [true, false, true, true], alRight: [false, true, true, true], alClient: [true, true, true, true] };
    await Open(Page, '/align.html', {
      Controls, Family: 'opera',
      InitKXCL: Aligned.map(([N, A]) => ClientObjectInit(N, { Align: A, Anchors: Natural[A] })).join('\r\n'),
    });
    const R = await Reflow(Page, 400, 300, Aligned.map(([N]) => N));
    assert.deepEqual(R.TOP1, [0, 0, 400, 20]);
    assert.deepEqual(R.TOP2, [0, 20, 400, 30]);       // the hidden top control took no room
    assert.deepEqual(R.BOTTOM2, [0, 285, 400, 15]);   // the lowest goes to the bottom edge
    assert.deepEqual(R.BOTTOM1, [0, 260, 400, 25]);
    assert.deepEqual(R.LEFT1, [0, 50, 40, 210]);
    assert.deepEqual(R.RIGHT2, [380, 50, 20, 210]);   // the right-most goes to the right edge
    assert.deepEqual(R.RIGHT1, [350, 50, 30, 210]);
    assert.deepEqual(R.CLIENT, [40, 50, 310, 210]);
    assert.deepEqual(R.HIDDEN, [0, 0, 60, 60]);
  });
});

test('children of a container are laid out inside it; the border narrows the client area', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    const Region = '<div id="REGION1" style="position:absolute;left:10px;top:10px;width:200px;height:100px">' +
      Box('INNER', 10, 10, 100, 20) + Box('INNERTOP', 0, 0, 10, 10) + '</div>';
    await Open(Page, '/region.html', {
      Controls: Region, Family: 'explorer', Script: '',
      InitKXCL: [
        ClientObjectInit('REGION1', { Anchors: [true, true, true, true] }),
        'if (REGION1KXCL) {\r\nREGION1KXCL.BorderWidthPixels = 2;\r\n}',
        ClientObjectInit('INNER', { Parent: 'REGION1KXCL', Anchors: [true, true, true, false] }),
        ClientObjectInit('INNERTOP', { Parent: 'REGION1KXCL', Align: 'alTop', Anchors: [true, true, true, false] }),
      ].join('\r\n'),
    });
    const R = await Reflow(Page, 591, 365, ['REGION1', 'INNER', 'INNERTOP']);
    assert.deepEqual(R.REGION1, [10, 10, 300, 200]);
    assert.deepEqual(R.INNER, [10, 10, 200, 20]);
    assert.deepEqual(R.INNERTOP, [0, 0, 296, 10]);
  });
});

test('a window resize re-flows the page: at once in the Gecko file, after the window rests elsewhere', async (t) => {
  for (const Family of ['gecko', 'explorer']) {
    await Suite.WithPage({ name: t.name + ' ' + Family }, async (Page) => {
      await Page.setViewportSize({ width: 493, height: 266 });
      await Open(Page, '/resize-' + Family + '.html', {
        Controls: Box('STRETCH', 20, 20, 121, 21), Family,
        InitKXCL: ClientObjectInit('STRETCH', { Anchors: [true, true, true, false] }),
      });
      await Page.setViewportSize({ width: 593, height: 366 });
      // The Gecko file lays out at the window's inner width less 2 (591: the 221 of the worked
      // example); the others at the body's client width.
      const Expected = Family === 'gecko' ? 221 : 223;
      await Page.waitForFunction((W) => document.getElementById('STRETCH').style.width === W + 'px', Expected);
      assert.equal(await Page.evaluate(() => KXCLForm.Rect.width), Family === 'gecko' ? 591 : 593);
    });
  }
});

test('a set rectangle with a negative edge or size is not applied', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    await Open(Page, '/setrect.html', { Controls: Box('B', 20, 20, 50, 50), Family: 'explorer',
      InitKXCL: ClientObjectInit('B') });
    const R = await Page.evaluate(() => {
      const B = document.getElementById('B');
      B.SetRect(new Rect(-100, 0, 50, 50));   // right edge at -50
      B.SetRect(new Rect(0, 0, -1, 50));
      const Unchanged = [B.style.left, B.style.width];
      B.SetRect(new Rect(5, 6, 70, 80));
      return { Unchanged, After: [B.style.left, B.style.top, B.style.width, B.style.height], Rect: B.Rect.width };
    });
    assert.deepEqual(R, { Unchanged: ['20px', '50px'], After: ['5px', '6px', '70px', '80px'], Rect: 50 });
  });
});

test('with a resize frame the server is told the size once the window rests; one report at a time', async (t) => {
  await Suite.WithPage(t, async (Page) => {
    const Reports = [];
    await Page.route('**/RESIZE/**', (Route) => Reports.push({ Route, Url: new URL(Route.request().url()) }));
    await Open(Page, '/resize-report.html', {
      Controls: Box('STRETCH', 20, 20, 121, 21), Family: 'opera',
      Script: 'var GResizeURL="/RESIZE/0/sid?velmor";', InitCode: 'GOnResizetimeout=40;',
      InitKXCL: ClientObjectInit('STRETCH', { Anchors: [true, true, true, false] }),
      BodyEnd: '<IFRAME ID="onresize" style="position:absolute;left:-1000px;top:-1000px"></IFRAME>',
    });
    const Size = (R) => [R.Url.searchParams.get('KX_width'), R.Url.searchParams.get('KX_height')];
    const WaitForReports = async (N) => {
      for (let I = 0; I < 200 && Reports.length < N; I++) await Page.waitForTimeout(10);
      assert.equal(Reports.length, N);
    };
    // The first layout at the real window size is reported.
    await WaitForReports(1);
    assert.deepEqual(Size(Reports[0]), ['800', '600']);
    // While that report is unanswered, another size is laid out but not reported.
    await Page.evaluate(() => KXCLForm.UpdateRects(new Rect(0, 0, 700, 500)));
    await Page.waitForTimeout(100);
    assert.equal(Reports.length, 1);
    await Reports[0].Route.fulfill({ status: 200, contentType: 'text/html',
      body: '<html><body><script>parent.GSubmitting = false;</script></body></html>' });
    await Page.waitForFunction(() => GSubmitting === false);
    // Two sizes in quick succession: the pending report is replaced by the latest.
    await Page.evaluate(() => { KXCLForm.UpdateRects(new Rect(0, 0, 591, 265)); KXCLForm.UpdateRects(new Rect(0, 0, 600, 300)); });
    await WaitForReports(2);
    await Page.waitForTimeout(60);
    assert.equal(Reports.length, 2);
    assert.equal(Reports[1].Url.pathname + Reports[1].Url.search, '/RESIZE/0/sid?velmor&KX_width=600&KX_height=300');
  });
});
