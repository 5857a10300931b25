'use strict';
// Helpers of the tests that run against the fixture server: open one of its forms in a new
// session, record what the page posts, and read what the server's handlers showed.
const { FormFields } = require('./harness');

// Every POST the page sends, with its fields (for urlencoded bodies) and its raw bytes.
function RecordPosts(APage) {
  const Posts = [];
  APage.on('request', (Req) => {
    if (Req.method() !== 'POST') return;
    const Bytes = Req.postDataBuffer() || Buffer.alloc(0);
    const Type = Req.headers()['content-type'] || '';
    Posts.push({ Url: Req.url(), Path: new URL(Req.url()).pathname, Type, Bytes,
      Fields: Type.startsWith('application/x-www-form-urlencoded') ? FormFields(Bytes.toString('utf8')) : null });
  });
  return Posts;
}

// The posts that raised an event (the size probe and resize reports carry no action).
function ActionPosts(APosts) {
  return APosts.filter((P) => !P.Fields || P.Fields.KX_Action || /\/upload\//i.test(P.Path));
}

// The page is ready once its client objects exist and the load lock is released.
async function WaitReady(APage, ATitle) {
  await APage.waitForFunction((T) => document.title === T && typeof KXCLForm !== 'undefined' && KXCLForm !== null &&
    typeof IsLocked === 'function' && !IsLocked(), ATitle);
}

// A new session on the fixture: the start page, its size probe, then the form itself.
async function OpenFixtureForm(APage, ABase, AForm, ATitle) {
  const Posts = RecordPosts(APage);
  await APage.goto(ABase + '/' + (AForm ? '?form=' + AForm : ''));
  await WaitReady(APage, ATitle);
  Posts.length = 0;
  return Posts;
}

async function ResultText(APage) {
  return APage.evaluate(() => {
    const E = document.getElementById('KXRESULT');
    return E ? E.textContent : null;
  });
}

// Waits until the handler's label shows something other than ABefore, and returns it.
async function WaitResult(APage, ABefore = 'none') {
  await APage.waitForFunction((B) => {
    const E = document.getElementById('KXRESULT');
    return E && E.textContent !== B && typeof IsLocked === 'function' && !IsLocked();
  }, ABefore, { timeout: 10000 }).catch((E) => {
    throw new Error('no handler answered (the label still shows "' + ABefore + '"): ' + E.message);
  });
  return ResultText(APage);
}

module.exports = { RecordPosts, ActionPosts, WaitReady, OpenFixtureForm, ResultText, WaitResult };
