#pragma once
// The socket server: listens on its bindings (one listener thread each, polling every 250 ms),
// gives every accepted connection a thread of its own and calls ServeConnection on it until it
// answers false. Stopping closes every live connection and joins every thread it started.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SkIOHandler.h"
#include "SkSocket.h"

class TSkCustomTCPServer;

class TSkTCPConnection {
public:
  explicit TSkTCPConnection(std::unique_ptr<TSkIOHandler> AIOHandler);
  ~TSkTCPConnection();
  TSkTCPConnection(const TSkTCPConnection&) = delete;
  TSkTCPConnection& operator=(const TSkTCPConnection&) = delete;

  TSkIOHandler& IOHandler() { return *FIOHandler; }
  // The socket view of the handler; none for a handler that is not socket-based.
  TSkIOHandlerStack* Socket() { return FSocket; }
  bool Connected() const { return FIOHandler && FIOHandler->Connected(); }
  // Closes the handler's socket, then raises OnDisconnected.
  void Disconnect();
  std::function<void(TSkTCPConnection&)> OnDisconnected;

private:
  std::unique_ptr<TSkIOHandler> FIOHandler;
  TSkIOHandlerStack* FSocket = nullptr;
};

// One accepted connection and the thread that serves it. Made by the listener, freed by its own
// thread when the connection ends.
class TSkContext {
public:
  TSkContext(TSkCustomTCPServer& AServer, std::unique_ptr<TSkTCPConnection> AConnection);
  ~TSkContext();
  TSkCustomTCPServer& Server() { return FServer; }
  TSkTCPConnection& Connection() { return *FConnection; }
  // Local IP/Port and PeerIP/PeerPort of the connection; throws "Not Connected" for a non-socket handler.
  TSkSocketHandle& Binding();
  // Free for the layers above (the HTTP server keeps nothing here).
  void* Data = nullptr;

private:
  friend class TSkCustomTCPServer;
  TSkCustomTCPServer& FServer;
  std::unique_ptr<TSkTCPConnection> FConnection;
  std::thread FThread;   // assigned by the listener under the context-list lock
};

// Yields a connection intercept for every accepted connection.
class TSkServerIntercept {
public:
  virtual ~TSkServerIntercept() = default;
  virtual std::unique_ptr<TSkConnectionIntercept> Accept(TSkTCPConnection& AConnection) = 0;
};

enum class TSkReuseSocket { rsOSDependent, rsTrue };

class TSkCustomTCPServer {
public:
  TSkCustomTCPServer();
  virtual ~TSkCustomTCPServer();
  TSkCustomTCPServer(const TSkCustomTCPServer&) = delete;
  TSkCustomTCPServer& operator=(const TSkCustomTCPServer&) = delete;

  bool Active() const { return FActive; }
  void SetActive(bool AValue);
  TSkSocketHandles& Bindings() { return FBindings; }
  uint16_t DefaultPort() const { return FBindings.DefaultPort(); }
  void SetDefaultPort(uint16_t APort) { FBindings.SetDefaultPort(APort); }
  const std::string& Name() const { return FName; }
  void SetName(std::string AName) { FName = std::move(AName); }
  int ListenQueue() const { return FListenQueue; }
  void SetListenQueue(int AValue) { FListenQueue = AValue; }
  // Simultaneous connections; one beyond it is handed to ConnectionLimitReached and closed. 0: no cap.
  int MaxConnections() const { return FMaxConnections; }
  void SetMaxConnections(int AValue) { FMaxConnections = AValue; }
  TSkReuseSocket ReuseSocket() const { return FReuseSocket; }
  void SetReuseSocket(TSkReuseSocket AValue) { FReuseSocket = AValue; }
  int TerminateWaitTime() const { return FTerminateWaitTime; }
  void SetTerminateWaitTime(int AValue) { FTerminateWaitTime = AValue; }
  // The server IO handler; none means a plain one is made at start. Not owned.
  TSkServerIOHandler* IOHandler() const { return FIOHandler; }
  void SetIOHandler(TSkServerIOHandler* AValue);
  void SetIOHandler(std::unique_ptr<TSkServerIOHandler> AValue);   // owned from then on
  TSkServerIntercept* Intercept() const { return FIntercept; }
  void SetIntercept(TSkServerIntercept* AValue) { FIntercept = AValue; }   // not owned
  int ContextCount() const;

  // Events; raised on the thread named in each comment.
  std::function<void(TSkContext&)> OnConnect;                                  // connection thread
  std::function<void(TSkContext&)> OnDisconnect;                               // connection thread
  std::function<bool(TSkContext&)> OnExecute;                                  // connection thread
  std::function<void(TSkContext&, const std::exception&)> OnException;         // connection thread
  std::function<void(const std::exception&)> OnListenException;               // listener thread
  std::function<void(TSkSocketHandle&)> OnBeforeBind;                          // SetActive's thread
  std::function<void()> OnAfterBind;                                           // SetActive's thread
  std::function<void()> OnBeforeListenerRun;                                   // listener thread

protected:
  // The request loop of the layer above; true: call again on the same connection.
  virtual bool ServeConnection(TSkContext& AContext);
  virtual void ConnectionOpened(TSkContext& AContext);
  virtual void ConnectionClosed(TSkContext& AContext);
  virtual void ConnectionFailed(TSkContext& AContext, const std::exception& AException);
  virtual void ListenerFailed(const std::exception& AException);
  // Runs on the listener thread for a connection over the cap, before it is closed.
  virtual void ConnectionLimitReached(TSkTCPConnection& AConnection) { (void)AConnection; }
  virtual void ContextReady(TSkContext& AContext) { (void)AContext; }
  // Stop without raising virtual calls into a half-destroyed subclass: call from its destructor.
  void StopServer();

  void DoConnect(TSkContext& AContext);
  void DoDisconnect(TSkContext& AContext);
  bool DoExecute(TSkContext& AContext);
  void DoException(TSkContext& AContext, const std::exception& AException);
  void DoListenException(const std::exception& AException);

private:
  struct TSkListenerThread {
    TSkSocketHandle* Binding = nullptr;
    std::atomic<bool> Stopped{false};
    std::thread Thread;
  };

  void Startup();
  void Shutdown();
  void StartListening();
  void StopListening();
  void ListenerRun(TSkListenerThread& AListener);
  void ConnectionRun(TSkContext* AContext);
  void ReapFinishedThreads();

  bool FActive = false;
  std::string FName = "TSkCustomTCPServer";
  TSkSocketHandles FBindings;
  TSkServerIOHandler* FIOHandler = nullptr;
  std::unique_ptr<TSkServerIOHandler> FOwnedIOHandler;
  bool FImplicitIOHandler = false;
  TSkServerIntercept* FIntercept = nullptr;
  int FListenQueue = 15;
  int FMaxConnections = 1024;
  TSkReuseSocket FReuseSocket = TSkReuseSocket::rsOSDependent;
  int FTerminateWaitTime = 5000;

  std::mutex FListenerThreadsLock;   // guards FListenerThreads; held while listeners start or stop, never with the others
  std::vector<std::unique_ptr<TSkListenerThread>> FListenerThreads;

  // Guards FContexts and FFinishedThreads; held to add, remove or walk, never across I/O or a join.
  mutable std::mutex FContextsLock;
  std::condition_variable FContextsChanged;   // signalled when a context leaves FContexts
  std::vector<TSkContext*> FContexts;
  std::vector<std::thread> FFinishedThreads;   // threads past their last use of the server, awaiting join
};
