#include "SkTCPServer.h"

#include <algorithm>
#include <chrono>

namespace {

const char kNotConnected[] = "Not Connected";
// The stop procedure re-checks the live connections this often; there is no overall limit.
constexpr auto kStopPollInterval = std::chrono::milliseconds(500);

}  // namespace

// ---- connection and context ----

TSkTCPConnection::TSkTCPConnection(std::unique_ptr<TSkIOHandler> AIOHandler)
    : FIOHandler(std::move(AIOHandler)), FSocket(dynamic_cast<TSkIOHandlerStack*>(FIOHandler.get())) {}

TSkTCPConnection::~TSkTCPConnection() = default;

void TSkTCPConnection::Disconnect() {
  if (FIOHandler) FIOHandler->Close();
  if (OnDisconnected) OnDisconnected(*this);
}

TSkContext::TSkContext(TSkCustomTCPServer& AServer, std::unique_ptr<TSkTCPConnection> AConnection)
    : FServer(AServer), FConnection(std::move(AConnection)) {}

TSkContext::~TSkContext() = default;

TSkSocketHandle& TSkContext::Binding() {
  TSkIOHandlerStack* S = FConnection->Socket();
  if (!S) throw ESkNotConnected(kNotConnected);
  return S->Binding();
}

// ---- server ----

TSkCustomTCPServer::TSkCustomTCPServer() = default;

TSkCustomTCPServer::~TSkCustomTCPServer() { StopServer(); }

void TSkCustomTCPServer::SetIOHandler(TSkServerIOHandler* AValue) {
  FIOHandler = AValue;
  FOwnedIOHandler.reset();
  FImplicitIOHandler = false;
}

void TSkCustomTCPServer::SetIOHandler(std::unique_ptr<TSkServerIOHandler> AValue) {
  FOwnedIOHandler = std::move(AValue);
  FIOHandler = FOwnedIOHandler.get();
  FImplicitIOHandler = false;
}

int TSkCustomTCPServer::ContextCount() const {
  std::lock_guard Lock(FContextsLock);
  return static_cast<int>(FContexts.size());
}

void TSkCustomTCPServer::SetActive(bool AValue) {
  if (AValue == FActive) return;
  if (AValue)
    Startup();
  else
    StopServer();
}

void TSkCustomTCPServer::Startup() {
  if (FBindings.Count() == 0) {
    FBindings.Add().SetIP("0.0.0.0");
    if (SkIPv6Available()) {
      TSkSocketHandle& B = FBindings.Add();
      B.SetIP("::");
      B.SetIPVersion(TSkIPVersion::Id_IPv6);
    }
  }
  if (!FIOHandler) {
    FOwnedIOHandler = std::make_unique<TSkServerIOHandlerStack>();
    FIOHandler = FOwnedIOHandler.get();
    FImplicitIOHandler = true;
  }
  FIOHandler->Init();
  try {
    StartListening();
  } catch (...) {
    StopListening();
    FIOHandler->Shutdown();
    throw;
  }
  FActive = true;
}

void TSkCustomTCPServer::StartListening() {
  std::lock_guard Lock(FListenerThreadsLock);
  std::vector<TSkSocketHandle*> Bound;
  for (int I = 0; I < FBindings.Count(); ++I) {
    TSkSocketHandle& B = FBindings[I];
    const bool HasListener = std::any_of(FListenerThreads.begin(), FListenerThreads.end(),
                                         [&](const auto& L) { return L->Binding == &B; });
    if (HasListener) continue;
    try {
      B.AllocateSocket();
      // Either setting reuses the address here: a restart must not fail on the TIME_WAIT entries
      // that closing every connection leaves behind, and this platform still refuses a second
      // listener on a port in use.
      B.SetReuseAddress();
      if (OnBeforeBind) OnBeforeBind(B);
      B.Bind();
    } catch (...) {
      B.CloseSocket();
      for (TSkSocketHandle* P : Bound) P->CloseSocket();
      throw;
    }
    Bound.push_back(&B);
  }
  if (!Bound.empty() && OnAfterBind) OnAfterBind();
  for (TSkSocketHandle* B : Bound) {
    B->Listen(FListenQueue);
    auto L = std::make_unique<TSkListenerThread>();
    L->Binding = B;
    TSkListenerThread& Ref = *L;
    FListenerThreads.push_back(std::move(L));
    Ref.Thread = std::thread(&TSkCustomTCPServer::ListenerRun, this, std::ref(Ref));
  }
}

void TSkCustomTCPServer::StopListening() {
  std::lock_guard Lock(FListenerThreadsLock);
  for (auto& L : FListenerThreads) {
    L->Stopped = true;
    if (L->Thread.joinable()) L->Thread.join();
    L->Binding->CloseSocket();
  }
  FListenerThreads.clear();
  // bindings whose bind failed part-way have a socket but no listener
  for (int I = 0; I < FBindings.Count(); ++I) FBindings[I].CloseSocket();
}

void TSkCustomTCPServer::StopServer() {
  if (!FActive) return;
  FActive = false;
  StopListening();
  {
    std::unique_lock Lock(FContextsLock);
    for (;;) {
      for (TSkContext* C : FContexts) C->Connection().IOHandler().Abort();
      if (FContexts.empty()) break;
      FContextsChanged.wait_for(Lock, kStopPollInterval);
    }
  }
  ReapFinishedThreads();
  if (FIOHandler) FIOHandler->Shutdown();
  if (FImplicitIOHandler) {
    FOwnedIOHandler.reset();
    FIOHandler = nullptr;
    FImplicitIOHandler = false;
  }
}

void TSkCustomTCPServer::ReapFinishedThreads() {
  std::vector<std::thread> Done;
  {
    std::lock_guard Lock(FContextsLock);
    Done.swap(FFinishedThreads);
  }
  for (std::thread& T : Done) T.join();
}

void TSkCustomTCPServer::ListenerRun(TSkListenerThread& AListener) {
  if (OnBeforeListenerRun) OnBeforeListenerRun();
  while (!AListener.Stopped) {
    ReapFinishedThreads();
    try {
      std::unique_ptr<TSkIOHandler> IO = FIOHandler->Accept(*AListener.Binding, AListener.Stopped);
      if (!IO) break;
      auto Ctx = std::make_unique<TSkContext>(*this, std::make_unique<TSkTCPConnection>(std::move(IO)));
      bool OverLimit = false;
      {
        std::lock_guard Lock(FContextsLock);
        OverLimit = FMaxConnections > 0 && static_cast<int>(FContexts.size()) >= FMaxConnections;
        if (!OverLimit) {
          ContextReady(*Ctx);
          FContexts.push_back(Ctx.get());
          try {
            // assigned under the lock: the thread reads FThread back under the same lock when it ends
            Ctx->FThread = std::thread(&TSkCustomTCPServer::ConnectionRun, this, Ctx.get());
          } catch (...) {
            FContexts.pop_back();
            throw;
          }
        }
      }
      if (!OverLimit) {
        Ctx.release();   // the connection thread frees it
        continue;
      }
      try {
        ConnectionLimitReached(Ctx->Connection());
      } catch (const std::exception&) {
        // the refused client may already be gone
      }
      Ctx->Connection().Disconnect();
    } catch (const std::exception& E) {
      ListenerFailed(E);
    }
  }
}

void TSkCustomTCPServer::ConnectionRun(TSkContext* AContext) {
  try {
    ConnectionOpened(*AContext);
    while (ServeConnection(*AContext)) {
    }
  } catch (const std::exception& E) {
    try {
      ConnectionFailed(*AContext, E);
    } catch (...) {
    }
  } catch (...) {
  }
  try {
    ConnectionClosed(*AContext);
  } catch (...) {
  }
  std::unique_ptr<TSkContext> Own(AContext);
  {
    std::lock_guard Lock(FContextsLock);
    FContexts.erase(std::find(FContexts.begin(), FContexts.end(), AContext));
    FFinishedThreads.push_back(std::move(AContext->FThread));
  }
  Own.reset();   // closes the socket; out of the list first, so the stop procedure never sees it freed
  FContextsChanged.notify_all();
}

bool TSkCustomTCPServer::ServeConnection(TSkContext& AContext) { return DoExecute(AContext); }

void TSkCustomTCPServer::ConnectionOpened(TSkContext& AContext) {
  if (FIntercept) {
    TSkTCPConnection& C = AContext.Connection();
    C.IOHandler().SetIntercept(FIntercept->Accept(C));
    if (C.IOHandler().Intercept()) C.IOHandler().Intercept()->Connect(C);
  }
  DoConnect(AContext);
}

void TSkCustomTCPServer::ConnectionClosed(TSkContext& AContext) {
  DoDisconnect(AContext);
  TSkIOHandler& IO = AContext.Connection().IOHandler();
  if (IO.Intercept()) {
    IO.Intercept()->Disconnect();
    IO.SetIntercept(nullptr);
  }
}

void TSkCustomTCPServer::ConnectionFailed(TSkContext& AContext, const std::exception& AException) {
  DoException(AContext, AException);
}

void TSkCustomTCPServer::ListenerFailed(const std::exception& AException) { DoListenException(AException); }

void TSkCustomTCPServer::DoConnect(TSkContext& AContext) {
  if (OnConnect) OnConnect(AContext);
}

void TSkCustomTCPServer::DoDisconnect(TSkContext& AContext) {
  if (OnDisconnect) OnDisconnect(AContext);
}

bool TSkCustomTCPServer::DoExecute(TSkContext& AContext) { return OnExecute ? OnExecute(AContext) : false; }

void TSkCustomTCPServer::DoException(TSkContext& AContext, const std::exception& AException) {
  if (OnException) OnException(AContext, AException);
}

void TSkCustomTCPServer::DoListenException(const std::exception& AException) {
  if (OnListenException) OnListenException(AException);
}
