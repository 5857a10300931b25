#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "KXTestWebRequest.h"
#include "SkException.h"
#include "SkStream.h"
#include "SkStringList.h"
#include "SkWebRequest.h"
#include "SkWebResponse.h"

namespace {

std::vector<std::string> Lines(const TSkStringList& L) { return L.Lines(); }

std::string ErrorOf(const std::function<void()>& F) {
  try {
    F();
  } catch (const ESkException& E) {
    return E.what();
  }
  return "";
}

}  // namespace

TEST(WebRequestFields, QueryFieldsAreSplitAndDecoded) {
  const struct {
    const char* Name;
    std::string Query;
    std::vector<std::string> Fields;
  } Cases[] = {
      {"escapes, plus and empty field", "a=%41%42&b=c+d&&e", {"a=AB", "b=c d", "e"}},
      {"CR LF separate and lead", "\r\na=1\r\nb=2\n&c=3", {"a=1", "b=2", "c=3"}},
      {"double quotes keep separators", "a=\"x&y\"&b=2", {"a=\"x&y\"", "b=2"}},
      {"double percent", "p=100%%", {"p=100%"}},
      {"high bytes stay bytes", "n=%C5%82", {"n=\xc5\x82"}},
      {"empty", "", {}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TKXTestWebRequest R("GET", "/", C.Query);
    EXPECT_EQ(Lines(R.QueryFields()), C.Fields);
  }
}

TEST(WebRequestFields, MalformedEscapesRaiseWithPosition) {
  const struct {
    const char* Name;
    std::string Query;
    std::string Message;
    std::vector<std::string> Left;
  } Cases[] = {
      {"short escape", "x=%4", "Error decoding URL style (%XX) encoded string at position 3", {}},
      {"not hex", "x=%zz", "Invalid URL encoded character (%zz) at position 3", {}},
      {"earlier fields stay", "a=1&x=%z", "Error decoding URL style (%XX) encoded string at position 3", {"a=1"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TKXTestWebRequest R("GET", "/", C.Query);
    EXPECT_EQ(ErrorOf([&] { R.QueryFields(); }), C.Message);
    EXPECT_EQ(Lines(R.QueryFields()), C.Left);
  }
}

TEST(WebRequestFields, CookieFieldsFromEveryCookieLine) {
  TKXTestWebRequest R;
  R.AddHeader("Cookie", "a=1; b=2");
  R.AddHeader("cookie", "c=3");
  EXPECT_EQ(Lines(R.CookieFields()), (std::vector<std::string>{"a=1", "b=2", "c=3"}));

  TKXTestWebRequest Q;
  Q.AddHeader("Cookie", "  x=a%20b,y=\"1;2\";;");
  EXPECT_EQ(Lines(Q.CookieFields()), (std::vector<std::string>{"x=a%20b", "y=\"1;2\""}));
}

TEST(WebRequestFields, ContentFieldsFromTheBody) {
  TKXTestWebRequest R("POST", "/exec");
  R.SetFormBody("KX_Action=BTN1&EDIT1=caf%C3%A9+au+lait");
  EXPECT_EQ(R.ContentParser().ClassName(), std::string("TContentParser"));
  EXPECT_EQ(Lines(R.ContentFields()), (std::vector<std::string>{"KX_Action=BTN1", "EDIT1=caf\xc3\xa9 au lait"}));
  EXPECT_EQ(R.Files().Count(), 0);
  EXPECT_THROW(R.Files().Item(0), ESkException);

  TKXTestWebRequest Empty("POST", "/exec");
  EXPECT_TRUE(Empty.ContentFields().Empty());
}

TEST(WebRequestContent, DecodedByCharset) {
  const struct {
    const char* Name;
    std::string ContentType;
    std::string Raw;
    std::string Text;
  } Cases[] = {
      {"utf-8 charset", "text/html; charset=utf-8", "\xc3\xa9", "\xc3\xa9"},
      {"upper-case charset", "TEXT/HTML; CHARSET=\"UTF-8\"", "\xc3\xa9", "\xc3\xa9"},
      {"latin-1 charset", "text/html; charset=iso-8859-1", "\xe9", "\xc3\xa9"},
      {"no charset", "text/html", "\xe9", "\xc3\xa9"},
      {"utf-8 before charset is not enough", "text/utf-8; charset=x", "\xe9", "\xc3\xa9"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TKXTestWebRequest Req("POST");
    Req.SetContentType(C.ContentType);
    Req.SetBody(C.Raw);
    EXPECT_EQ(Req.Content(), C.Text);

    TKXTestWebResponse Resp(Req);
    Resp.SetContentType(C.ContentType);
    Resp.SetContent(C.Text);
    EXPECT_EQ(Resp.RawContent(), C.Raw);
    EXPECT_EQ(Resp.ContentLength(), static_cast<int>(C.Raw.size()));
    EXPECT_EQ(Resp.Content(), C.Text);
  }
}

namespace {

// Parsers that accept requests by a header, to watch the registry's choice.
template <int N>
class TTestParser : public TContentParser {
public:
  using TContentParser::TContentParser;
  static const char* StaticClassName() {
    static const std::string S = "TTestParser" + std::to_string(N);
    return S.c_str();
  }
  static bool CanParse(TWebRequest& R) { return R.GetFieldByName("X-Parser").find(char('0' + N)) != std::string::npos; }
  const char* ClassName() const override { return StaticClassName(); }
};

}  // namespace

TEST(ContentParserRegistry, LastRegisteredAcceptingParserWins) {
  RegisterContentParser<TTestParser<1>>();
  RegisterContentParser<TTestParser<2>>();
  const struct {
    const char* Name;
    const char* Header;
    const char* Chosen;
  } Cases[] = {
      {"both accept: the later one", "12", "TTestParser2"},
      {"only the earlier accepts", "1", "TTestParser1"},
      {"none accepts: the default", "", "TContentParser"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TKXTestWebRequest R("POST");
    R.SetHeader("X-Parser", C.Header);
    EXPECT_EQ(std::string(R.ContentParser().ClassName()), C.Chosen);
    R.SetHeader("X-Parser", "12");   // chosen once, kept for the request's life
    EXPECT_EQ(std::string(R.ContentParser().ClassName()), C.Chosen);
  }
  EXPECT_TRUE(UnregisterContentParser("TTestParser1"));
  EXPECT_TRUE(UnregisterContentParser("TTestParser2"));
  EXPECT_FALSE(IsContentParserRegistered("TTestParser1"));
}

TEST(Cookies, HeaderValue) {
  const struct {
    const char* Name;
    TCookie Cookie;
    std::string Header;
  } Cases[] = {
      {"name and value only", [] { TCookie C; C.SetName("a"); C.SetValue("1"); return C; }(), "a=1"},
      {"encoding", [] { TCookie C; C.SetName("n m"); C.SetValue("x;y=\xe9!$'()*-._@"); return C; }(),
       "n+m=x%3By%3D%E9!$'()*-._@"},
      {"every part", [] {
         TCookie C; C.SetName("Kexalo_App"); C.SetValue("abc_3"); C.SetDomain("example.org"); C.SetPath("/app/");
         C.SetExpires(EncodeDateTime(2026, 12, 8, 9, 5, 3)); C.SetSecure(true); return C; }(),
       "Kexalo_App=abc_3; domain=example.org; path=/app/; expires=Tue, 08 Dec 2026 09:05:03 GMT; secure"},
      {"expiry without secure", [] {
         TCookie C; C.SetName("a"); C.SetExpires(EncodeDateTime(2000, 1, 2)); return C; }(),
       "a=; expires=Sun, 02 Jan 2000 00:00:00 GMT"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(C.Cookie.HeaderValue(), C.Header);
    TCookie Copy;
    Copy.Assign(C.Cookie);
    EXPECT_EQ(Copy.HeaderValue(), C.Header);
  }
}

TEST(WebResponse, CustomHeadersAndCookieFields) {
  TKXTestWebRequest Req;
  TKXTestWebResponse Resp(Req);
  Resp.SetCustomHeader("Pragma", "no-cache");
  Resp.SetCustomHeader("X-A", "1");
  Resp.SetCustomHeader("pragma", "private");
  EXPECT_EQ(Resp.GetCustomHeader("PRAGMA"), "private");
  Resp.SetCustomHeader("X-A", "");
  EXPECT_EQ(Resp.CustomHeaders().Count(), 1);

  Resp.SetCookieField(TSkStringList{"a=1", "b=x y"}, "", "/app", -1, false);
  ASSERT_EQ(Resp.Cookies().Count(), 2);
  EXPECT_EQ(Resp.Cookies()[1].HeaderValue(), "b=x+y; path=/app");
  EXPECT_EQ(Resp.Cookies().WebResponse(), &Resp);
}

TEST(WebResponse, ContentStreamOwnershipAndLength) {
  TKXTestWebRequest Req;
  TKXTestWebResponse Resp(Req);
  Resp.SetContent("abc");
  Resp.SetContentStream(std::make_unique<TSkMemoryStream>("12345"));
  EXPECT_EQ(Resp.ContentLength(), 5);
  TSkStream* S = Resp.ContentStream();
  Resp.SetContentStream(std::unique_ptr<TSkStream>(S));   // the same stream again is not freed
  EXPECT_EQ(Resp.ContentStream(), S);
  EXPECT_EQ(Resp.ContentLength(), 5);
  Resp.SetContentStream(nullptr);
  EXPECT_EQ(Resp.ContentStream(), nullptr);
  EXPECT_EQ(Resp.ContentLength(), 3);
}

namespace {

class TCountingDispatcher : public IWebDispatcher {
public:
  bool FResult = true;
  bool FSendItself = false;
  int FCalls = 0;
  bool HandleRequest(TWebRequest&, TWebResponse& AResponse) override {
    if (AResponse.Sent()) return true;
    ++FCalls;
    if (FSendItself) AResponse.SendRedirect("/elsewhere");
    return FResult;
  }
};

}  // namespace

TEST(WebDispatch, SendsOnlyHandledUnsentResponses) {
  const struct {
    const char* Name;
    bool Result, SendItself;
    int Sends;
  } Cases[] = {
      {"handled: sent once by the caller", true, false, 1},
      {"not handled: left alone", false, false, 0},
      {"sent by the dispatcher: not again", true, true, 1},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TKXTestWebRequest Req;
    TKXTestWebResponse Resp(Req);
    TCountingDispatcher D;
    D.FResult = C.Result;
    D.FSendItself = C.SendItself;
    EXPECT_EQ(DispatchWebRequest(D, Req, Resp), C.Result);
    EXPECT_EQ(Resp.SendCount(), C.Sends);
    // A second dispatch of a sent response is a no-op that reports handled.
    if (Resp.Sent()) {
      EXPECT_TRUE(DispatchWebRequest(D, Req, Resp));
      EXPECT_EQ(D.FCalls, 1);
      EXPECT_EQ(Resp.SendCount(), C.Sends);
    }
  }
}

TEST(SkStream, MemoryAndFileBehaveAlike) {
  const std::string Name = (std::filesystem::temp_directory_path() / "SkStreamTest.bin").string();
  {
    TSkMemoryStream M;
    TSkFileStream F(Name, TSkFileMode::fmCreate);
    for (TSkStream* S : {static_cast<TSkStream*>(&M), static_cast<TSkStream*>(&F)}) {
      S->WriteString("hello world");
      EXPECT_EQ(S->Size(), 11);
      S->SetPosition(6);
      EXPECT_EQ(S->ReadString(100), "world");
      EXPECT_EQ(S->ReadString(1), "");
      EXPECT_THROW(S->Seek(-1, TSkSeekOrigin::soBeginning), ESkException);
      S->SetSize(5);
      EXPECT_EQ(S->ReadAll(), "hello");
      TSkMemoryStream Copy;
      EXPECT_EQ(Copy.CopyFrom(*S, 0), 5);
      EXPECT_EQ(Copy.DataString(), "hello");
      S->SetPosition(4);
      EXPECT_THROW(Copy.CopyFrom(*S, 2), ESkException);
    }
  }
  std::remove(Name.c_str());
  EXPECT_EQ(ErrorOf([&] { TSkFileStream F(Name, TSkFileMode::fmOpenRead); }),
            "Cannot open file \"" + Name + "\". No such file or directory");
}
