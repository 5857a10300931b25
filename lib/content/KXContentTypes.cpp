#include "content/KXContentTypes.h"

#include <fstream>
#include <sstream>

namespace {

struct TFixedType {
  const char* Extension;
  const char* ContentType;
};

// Types the browser runtime and older clients depend on; they win over the host's database.
const TFixedType kFixedTypes[] = {
    {".jpg", "image/jpeg"},       {".jpeg", "image/jpeg"}, {".gif", "image/gif"},
    {".ico", "image/x-ico"},      {".html", "text/html"},  {".htm", "text/html"},
    {".js", "application/x-javascript"}, {".pdf", "application/pdf"}, {".zip", "application/zip"},
    {".exe", "application/octet-stream"}, {".css", "text/css"},
};

const char kDefaultType[] = "application/octet-stream";
const char kSystemMimeTypes[] = "/etc/mime.types";

}  // namespace

std::string ExtractFileExtension(std::string_view AFileName) {
  const size_t Dot = AFileName.rfind('.');
  if (Dot == std::string_view::npos) return {};
  const size_t Sep = AFileName.find_last_of("/\\");
  if (Sep != std::string_view::npos && Sep > Dot) return {};
  return std::string(AFileName.substr(Dot));
}

std::string ContentTypeOfExtension(std::string_view AExtension) {
  for (const TFixedType& T : kFixedTypes)
    if (SameText(AExtension, T.Extension)) return T.ContentType;
  if (AExtension.size() > 1) {
    std::string Found = SystemMimeDatabase().Find(AExtension);
    if (!Found.empty()) return Found;
  }
  return kDefaultType;
}

std::string ContentTypeOfFile(std::string_view AFileName) {
  return ContentTypeOfExtension(ExtractFileExtension(AFileName));
}

void TKXMimeDatabase::Load(std::string_view AText) {
  std::istringstream In{std::string(AText)};
  std::string Line;
  while (std::getline(In, Line)) {
    if (const size_t Hash = Line.find('#'); Hash != std::string::npos) Line.erase(Hash);
    std::istringstream Words(Line);
    std::string Type, Ext;
    if (!(Words >> Type)) continue;
    while (Words >> Ext) FTypes.emplace(Ext, Type);   // the first line naming an extension wins
  }
}

bool TKXMimeDatabase::LoadFromFile(const std::string& APath) {
  std::ifstream In(APath, std::ios::binary);
  if (!In) return false;
  std::ostringstream Text;
  Text << In.rdbuf();
  Load(Text.str());
  return true;
}

std::string TKXMimeDatabase::Find(std::string_view AExtension) const {
  if (!AExtension.empty() && AExtension.front() == '.') AExtension.remove_prefix(1);
  auto It = FTypes.find(AExtension);
  return It == FTypes.end() ? std::string() : It->second;
}

const TKXMimeDatabase& SystemMimeDatabase() {
  static const TKXMimeDatabase Db = [] {
    TKXMimeDatabase D;
    D.LoadFromFile(kSystemMimeTypes);
    return D;
  }();
  return Db;
}
