#include "SkCustomHTTPServer.h"

#include <cerrno>
#include <chrono>

#include "SkCodec.h"
#include "SkHTTPRequestParser.h"
#include "SkStrUtils.h"
#include "SkURI.h"

namespace {

const char kCannotChangeSessionState[] = "Cannot change session state when the server is active.";
const char kErrorParsingCommand[] = "Error in parsing command.";
const char kUnsupportedAuthorization[] = "Unsupported authorization scheme.";

// After an early answer (the body may still be on its way) the server stops sending, throws the
// rest away for at most this long and then closes, so the client reads the answer instead of a reset.
constexpr int kLingerMs = 2000;

bool IsQuietSocketError(int ACode) {
  return ACode == ECONNRESET || ACode == EPIPE || ACode == ENOTCONN || ACode == EBADF || ACode == ESHUTDOWN;
}

bool VersionAtLeast11(const std::string& AVersion) {
  // "HTTP/major.minor", checked by the parser
  const size_t Dot = AVersion.find('.');
  const int Major = StrToIntDef(std::string_view(AVersion).substr(5, Dot - 5), 0);
  const int Minor = StrToIntDef(std::string_view(AVersion).substr(Dot + 1), 0);
  return Major > 1 || (Major == 1 && Minor > 0);
}

void SplitParamsInto(const std::string& AText, TSkStringList& AParams) {
  if (AText.empty()) return;
  for (const std::string& Piece : SplitString(AText, '&')) AParams.Add(TSkURI::URLDecode(ReplaceAll(Piece, "+", " ")));
}

}  // namespace

TSkCustomHTTPServer::TSkCustomHTTPServer() {
  SetName("TSkCustomHTTPServer");
  SetDefaultPort(80);
}

// Stopped here, not in the base: connection threads call this class's overrides until they end.
TSkCustomHTTPServer::~TSkCustomHTTPServer() { StopServer(); }

void TSkCustomHTTPServer::SetSessionState(bool AValue) {
  if (Active()) throw ESkException(kCannotChangeSessionState);
  FSessionState = AValue;
}

void TSkCustomHTTPServer::ConnectionOpened(TSkContext& AContext) {
  TSkIOHandler& IO = AContext.Connection().IOHandler();
  // the handshake gets the time a request head gets, so a silent client cannot hold the thread
  IO.SetReadTimeOut(FReadTimeOut > 0 ? FReadTimeOut : -1);
  if (IO.IsSSL()) IO.SetPassThrough(!DoQuerySSLPort(AContext.Binding().Port()));
  TSkCustomTCPServer::ConnectionOpened(AContext);
}

void TSkCustomHTTPServer::SendStatusPage(TSkTCPConnection& AConnection, int ACode) {
  TSkHTTPResponseInfo R(&AConnection, this);
  R.SetResponseNo(ACode);
  R.SetCloseConnection(true);
  R.SetServer(Trim(FServerSoftware));
  R.SetContentType("text/html");
  R.SetContentText("<HTML><BODY><B>" + std::to_string(ACode) + " " + R.ResponseText() + "</B></BODY></HTML>");
  R.WriteContent();
}

void TSkCustomHTTPServer::ConnectionLimitReached(TSkTCPConnection& AConnection) {
  // a TLS client could not read a plain page: it is just closed
  if (!AConnection.IOHandler().IsSSL()) SendStatusPage(AConnection, 503);
  // runs on the listener thread: throw away only what has already arrived, never wait
  if (AConnection.Socket()) AConnection.Socket()->Binding().Shutdown(false);
  AConnection.IOHandler().DiscardInput(0);
}

bool TSkCustomHTTPServer::ServeConnection(TSkContext& AContext) {
  TSkTCPConnection& Conn = AContext.Connection();
  TSkServeEnd End = TSkServeEnd::Done;
  try {
    End = ServeRequest(AContext);
  } catch (const ESkSocketError& E) {
    if (!IsQuietSocketError(E.ErrorCode())) {
      Conn.Disconnect();
      throw;
    }
  } catch (const ESkNotConnected&) {
    // closed locally, by the stop procedure
  } catch (...) {
    Conn.Disconnect();
    throw;
  }
  if (End == TSkServeEnd::Linger && Conn.Connected()) {
    if (Conn.Socket()) Conn.Socket()->Binding().Shutdown(false);
    Conn.IOHandler().DiscardInput(kLingerMs);
  }
  Conn.Disconnect();
  return false;
}

TSkCustomHTTPServer::TSkServeEnd TSkCustomHTTPServer::ServeRequest(TSkContext& AContext) {
  TSkTCPConnection& Conn = AContext.Connection();
  TSkIOHandler& IO = Conn.IOHandler();
  IO.SetMaxCapturedLines(FMaximumHeaderLineCount);
  IO.SetReadTimeOut(FReadTimeOut > 0 ? FReadTimeOut : -1);

  TSkHTTPRequestParser Parser;
  Parser.SetMaxLineLength(IO.MaxLineLength());
  Parser.SetMaxHeaderLines(FMaximumHeaderLineCount);
  Parser.SetMaxHeaderSize(FMaxHeaderSize);
  // the whole head must arrive within the time-out, so a client trickling bytes cannot hold the thread
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(FReadTimeOut);
  for (;;) {
    if (IO.InputBufferIsEmpty()) {
      int Wait = -1;
      if (FReadTimeOut > 0)
        Wait = static_cast<int>(std::max<int64_t>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now()).count()));
      if (!IO.FillInputBufferWithin(Wait)) {
        if (!Parser.Started()) return TSkServeEnd::Done;   // an idle connection is just closed
        SendStatusPage(Conn, 408);
        return TSkServeEnd::Linger;
      }
    }
    const TSkFeedResult R = Parser.Feed(IO.InputBuffer());
    IO.ConsumeInput(Parser.Consumed());
    if (R == TSkFeedResult::Complete) break;
    if (R == TSkFeedResult::NeedMore) continue;
    switch (Parser.Reject()) {
      case TSkRequestReject::ErrorParsingCommand: throw ESkHTTPErrorParsingCommand(kErrorParsingCommand);
      case TSkRequestReject::MaxLineLength: throw ESkMaxLineLengthExceeded(Parser.RejectMessage());
      case TSkRequestReject::MaxHeaderLines: throw ESkMaxCapturedLinesExceeded(Parser.RejectMessage());
      default:
        SendStatusPage(Conn, Parser.RejectStatus());
        return TSkServeEnd::Linger;
    }
  }

  TSkHTTPRequestInfo Request;
  TSkHTTPResponseInfo Response(&Conn, this);
  Response.SetCloseConnection(true);   // one request per connection
  Response.SetServer(Trim(FServerSoftware));
  Request.FRawHeaders = std::move(Parser.Headers());
  Request.ProcessHeaders();
  Request.FVersion = Parser.Version();
  Request.FCommand = UpperCase(Parser.Method());
  Request.FRawHTTPCommand = Parser.RequestLine();
  Request.FRemoteIP = Conn.Socket() ? Conn.Socket()->Binding().PeerIP() : std::string();
  Request.FCommandType = SkCommandType(Request.FCommand);
  Response.SetHeadRequest(Request.FCommandType == THTTPCommandType::hcHEAD);

  // A length that is not a number, or a coded body, cannot be framed: refuse instead of guessing.
  if (!Request.RawHeaders().Values("Content-Length").empty() && !Request.HasContentLength()) {
    SendStatusPage(Conn, 400);
    return TSkServeEnd::Linger;
  }
  const std::string Coding = Request.RawHeaders().Values("Transfer-Encoding");
  if (!Coding.empty() && !SameText(Coding, "identity")) {
    SendStatusPage(Conn, 411);
    return TSkServeEnd::Linger;
  }

  if (!DoHeadersAvailable(AContext, Request.RawHeaders())) {
    std::string Content, Reason;
    int Status = 403;
    DoHeadersBlocked(AContext, Request.RawHeaders(), Content, Reason, Status);
    Response.SetResponseNo(Status);
    if (!Reason.empty()) Response.SetResponseText(Reason);
    Response.SetContentText(Content);
    Response.SetCloseConnection(true);
    Response.WriteHeader();
    if (!Content.empty()) Response.WriteContent();
    return TSkServeEnd::Linger;
  }
  if (Request.ContentLength() > FMaxBodySize) {
    SendStatusPage(Conn, 413);
    return TSkServeEnd::Linger;
  }
  if (IO.InputBufferIsEmpty() && VersionAtLeast11(Request.FVersion) && !Request.Expect().empty()) {
    if (DoHeaderExpectations(AContext, Request.Expect())) {
      if (ContainsText(Request.Expect(), "100-continue")) IO.Write(Request.FVersion + " 100 Continue\r\n\r\n");
    } else {
      Response.SetResponseNo(417);
      Response.SetResponseText("");
      Response.SetCloseConnection(true);
      Response.WriteHeader();
      return TSkServeEnd::Linger;
    }
  }

  if (ReadBody(AContext, Request) == TSkServeEnd::Linger) return TSkServeEnd::Linger;
  DecodeRequest(AContext, Request, Parser.Target());

  try {
    switch (Request.FCommandType) {
      case THTTPCommandType::hcHEAD:
      case THTTPCommandType::hcGET:
      case THTTPCommandType::hcPOST: DoCommandGet(AContext, Request, Response); break;
      default: DoCommandOther(AContext, Request, Response); break;
    }
  } catch (const ESkSocketError&) {
    throw;
  } catch (const ESkNotConnected&) {
    throw;
  } catch (const ESkConnClosedGracefully&) {
    throw;
  } catch (const std::exception& E) {
    Response.SetResponseNo(500);
    Response.SetContentText(E.what());
    DoCommandError(AContext, Request, Response, E);
  }
  if (!Response.HeaderHasBeenWritten()) Response.WriteHeader();
  if (!Response.ContentText().empty() || Response.ContentStream()) Response.WriteContent();
  return TSkServeEnd::Done;
}

TSkCustomHTTPServer::TSkServeEnd TSkCustomHTTPServer::ReadBody(TSkContext& AContext, TSkHTTPRequestInfo& ARequest) {
  TSkTCPConnection& Conn = AContext.Connection();
  TSkIOHandler& IO = Conn.IOHandler();
  try {
    if (ARequest.ContentLength() > 0) {
      IO.ReadStream(ARequest.FPostStream, ARequest.ContentLength());
    } else if (!ARequest.HasContentLength() && ARequest.FCommandType == THTTPCommandType::hcPOST) {
      // no length: the body ends when the client closes its sending side
      for (;;) {
        ARequest.FPostStream.append(IO.InputBuffer());
        IO.ConsumeInput(IO.InputBuffer().size());
        if (static_cast<int64_t>(ARequest.FPostStream.size()) > FMaxBodySize) {
          ARequest.FPostStream.clear();
          SendStatusPage(Conn, 413);
          return TSkServeEnd::Linger;
        }
        try {
          IO.FillInputBuffer();
        } catch (const ESkConnClosedGracefully&) {
          break;
        }
      }
    }
  } catch (const ESkReadTimedOut&) {
    SendStatusPage(Conn, 408);
    return TSkServeEnd::Linger;
  }
  return TSkServeEnd::Done;
}

void TSkCustomHTTPServer::DecodeRequest(TSkContext& AContext, TSkHTTPRequestInfo& ARequest,
                                        const std::string& ATarget) {
  (void)AContext;
  TSkHTTPRequestInfo& R = ARequest;
  R.FFormParams = R.FPostStream;
  R.FUnparsedParams = R.FFormParams;
  std::string Target = ATarget;
  const size_t Q = Target.find('?');
  if (Q != std::string::npos) {
    R.FQueryParams = Target.substr(Q + 1);
    Target.erase(Q);
  }
  if (!R.FQueryParams.empty())
    R.FUnparsedParams = R.FUnparsedParams.empty() ? R.FQueryParams : R.FUnparsedParams + "&" + R.FQueryParams;
  if (FParseParams)
    SplitParamsInto(SameText(R.ContentType(), "application/x-www-form-urlencoded") ? R.FUnparsedParams
                                                                                    : R.FQueryParams,
                    R.FParams);

  for (int I = 0; I < R.RawHeaders().Count(); ++I) {
    if (!SameText(R.RawHeaders().Names(I), "cookie")) continue;
    for (const std::string& Piece : SplitString(R.RawHeaders().ValueFromIndex(I), ';')) {
      const std::string P = Trim(Piece);
      const size_t Eq = P.find('=');
      TSkCookieRFC2109& C = R.FCookies.Add();
      C.SetCookieName(P.substr(0, Eq));
      C.SetValue(Eq == std::string::npos ? std::string() : P.substr(Eq + 1));
    }
  }

  if (Target == "*") {
    R.FDocument = "*";
  } else {
    const TSkURI URI(Target);
    R.FDocument = TSkURI::URLDecode(URI.Path()) + TSkURI::URLDecode(URI.Document());
    if (!URI.Host().empty() && R.Host().empty()) R.SetHost(URI.Host());
  }

  const std::string Auth = R.RawHeaders().Values("Authorization");
  R.FAuthExists = !Auth.empty();
  if (R.FAuthExists) {
    const size_t Blank = Auth.find(' ');
    if (!SameText(Auth.substr(0, Blank), "Basic"))
      throw ESkHTTPUnsupportedAuthorisationScheme(kUnsupportedAuthorization);
    const std::string Decoded = Base64Decode(Blank == std::string::npos ? std::string() : Trim(Auth.substr(Blank + 1)));
    const size_t Colon = Decoded.find(':');
    R.FAuthUsername = Decoded.substr(0, Colon);
    R.FAuthPassword = Colon == std::string::npos ? std::string() : Decoded.substr(Colon + 1);
  }
}

void TSkCustomHTTPServer::DoCommandGet(TSkContext& AContext, TSkHTTPRequestInfo& ARequestInfo,
                                       TSkHTTPResponseInfo& AResponseInfo) {
  if (OnCommandGet) OnCommandGet(AContext, ARequestInfo, AResponseInfo);
}

void TSkCustomHTTPServer::DoCommandOther(TSkContext& AContext, TSkHTTPRequestInfo& ARequestInfo,
                                         TSkHTTPResponseInfo& AResponseInfo) {
  if (OnCommandOther)
    OnCommandOther(AContext, ARequestInfo, AResponseInfo);
  else if (ARequestInfo.CommandType() == THTTPCommandType::hcUnknown)
    AResponseInfo.SetResponseNo(501);
}

void TSkCustomHTTPServer::DoCommandError(TSkContext& AContext, TSkHTTPRequestInfo& ARequestInfo,
                                         TSkHTTPResponseInfo& AResponseInfo, const std::exception& AException) {
  if (OnCommandError) OnCommandError(AContext, ARequestInfo, AResponseInfo, AException);
}

bool TSkCustomHTTPServer::DoHeadersAvailable(TSkContext& AContext, const TSkHeaderList& AHeaders) {
  return OnHeadersAvailable ? OnHeadersAvailable(AContext, AHeaders) : true;
}

void TSkCustomHTTPServer::DoHeadersBlocked(TSkContext& AContext, const TSkHeaderList& AHeaders,
                                           std::string& AContentText, std::string& AReasonText, int& AStatus) {
  if (OnHeadersBlocked) OnHeadersBlocked(AContext, AHeaders, AContentText, AReasonText, AStatus);
}

bool TSkCustomHTTPServer::DoHeaderExpectations(TSkContext& AContext, const std::string& AExpect) {
  return OnHeaderExpectations ? OnHeaderExpectations(AContext, AExpect) : SameText(AExpect, "100-continue");
}

bool TSkCustomHTTPServer::DoQuerySSLPort(uint16_t APort) { return OnQuerySSLPort ? OnQuerySSLPort(APort) : true; }
