#pragma once
// What a request of a locked session does once the dispatcher has found it: the post goes to the
// active form (or, from an out-of-date page, is ignored), then the answer is chosen: the page of
// the form now active, a redirect, a termination page or a page that continues a submit.
#include "SkStringList.h"

class TKXApplication;
class TWebResponse;

// Runs one bound request; the command is the dispatcher's.
void KXExecuteSession(TKXApplication* ASession, unsigned ATrackID, int ACommand, TSkStringList& AParams);
// Applies a post to the active form and moves the track id on when the handlers sent nothing.
void KXExecuteActiveForm(TKXApplication* ASession, TSkStringList& AParams);
// The page of a terminated session: a redirect, the terminate message, or nothing.
void KXTerminateApplication(TKXApplication* ASession, TWebResponse* AResponse);
// Fixes the address the next page posts to and checks the form may be shown on this connection.
void KXPrepareActiveForm(TKXApplication* ASession);
