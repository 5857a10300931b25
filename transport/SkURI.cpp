#include "SkURI.h"

#include "SkCodec.h"

#include <algorithm>

namespace {

bool HexRun(std::string_view S, size_t AFrom, size_t ACount, int& AValue) {
  if (AFrom + ACount > S.size()) return false;
  AValue = 0;
  for (size_t I = AFrom; I < AFrom + ACount; ++I) {
    const int V = HexDigitValue(S[I]);
    if (V < 0) return false;
    AValue = AValue * 16 + V;
  }
  return true;
}

// Parameters start after the first '?' or, without one, after the first '='.
void SplitParams(std::string_view S, std::string& ABefore, std::string& AParams) {
  size_t P = S.find('?');
  if (P == std::string_view::npos) P = S.find('=');
  if (P == std::string_view::npos) {
    ABefore = std::string(S);
    AParams.clear();
  } else {
    ABefore = std::string(S.substr(0, P));
    AParams = std::string(S.substr(P + 1));
  }
}

}  // namespace

std::string TSkURI::URLDecode(std::string_view AText) {
  std::string R;
  R.reserve(AText.size());
  for (size_t I = 0; I < AText.size(); ++I) {
    if (AText[I] != '%') {
      R += AText[I];
      continue;
    }
    int V = 0;
    if (I + 1 < AText.size() && (AText[I + 1] == 'u' || AText[I + 1] == 'U') && HexRun(AText, I + 2, 4, V)) {
      R += V < 256 ? char(V) : '?';
      I += 5;
    } else if (HexRun(AText, I + 1, 2, V)) {
      R += char(V);
      I += 2;
    } else {
      I += std::min<size_t>(2, AText.size() - I - 1);   // the malformed sequence goes
    }
  }
  return R;
}

void TSkURI::SetURI(std::string_view AURI) {
  for (std::string* F : {&FProtocol, &FUsername, &FPassword, &FHost, &FPort, &FPath, &FDocument, &FParams, &FBookmark})
    F->clear();
  std::string S(AURI);
  std::replace(S.begin(), S.end(), '\\', '/');
  std::string Rest;
  const size_t Scheme = S.find("://");
  if (Scheme == std::string::npos) {
    SplitParams(S, Rest, FParams);
    const size_t Slash = Rest.rfind('/');
    FPath = Slash == std::string::npos ? std::string() : Rest.substr(0, Slash + 1);
    FDocument = Slash == std::string::npos ? Rest : Rest.substr(Slash + 1);
  } else {
    FProtocol = S.substr(0, Scheme);
    SplitParams(std::string_view(S).substr(Scheme + 3), Rest, FParams);
    const size_t Slash = Rest.find('/');
    std::string Authority = Rest.substr(0, Slash);
    const std::string Local = Slash == std::string::npos ? std::string() : Rest.substr(Slash + 1);
    const size_t At = Authority.rfind('@');
    if (At != std::string::npos) {
      const std::string User = Authority.substr(0, At);
      const size_t Colon = User.find(':');
      FUsername = User.substr(0, Colon);
      if (Colon != std::string::npos) FPassword = User.substr(Colon + 1);
      Authority.erase(0, At + 1);
    }
    size_t PortFrom = 0;
    if (!Authority.empty() && Authority[0] == '[') {
      const size_t Close = Authority.find(']');
      FHost = Authority.substr(1, Close == std::string::npos ? std::string::npos : Close - 1);
      PortFrom = Close == std::string::npos ? Authority.size() : Close + 1;
    } else {
      PortFrom = std::min(Authority.find(':'), Authority.size());
      FHost = Authority.substr(0, PortFrom);
    }
    if (PortFrom < Authority.size() && Authority[PortFrom] == ':') FPort = Authority.substr(PortFrom + 1);
    const size_t Last = Local.rfind('/');
    FPath = "/" + (Last == std::string::npos ? std::string() : Local.substr(0, Last + 1));
    FDocument = Last == std::string::npos ? Local : Local.substr(Last + 1);
  }
  const size_t Hash = FDocument.find('#');
  if (Hash != std::string::npos) {
    FBookmark = FDocument.substr(Hash + 1);
    FDocument.erase(Hash);
  }
}
