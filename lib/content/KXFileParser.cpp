#include "content/KXFileParser.h"

#include "core/KXException.h"
#include "content/KXMultipartReader.h"
#include "SkStrUtils.h"
#include "SkStringList.h"

namespace {

const char kNoBoundary[] = "Malformed multipart body: no boundary in the content type";
const char kOctetStream[] = "application/octet-stream";
constexpr int kReadBlockSize = 65536;

}  // namespace

TKXFileParser::TKXFileParser(TWebRequest& AWebRequest)
    : TAbstractContentParser(AWebRequest),
      FMaxPartHeaderSize(TKXMultipartReader::kDefaultMaxPartHeaderSize),
      FMaxParts(TKXMultipartReader::kDefaultMaxParts) {}

TKXFileParser::~TKXFileParser() {
  FHTTPFile.reset();
  FHTTPFiles.reset();
  FContentFields.reset();
}

bool TKXFileParser::CanParse(TWebRequest& AWebRequest) {
  if (AWebRequest.MethodType() != mtPost) return false;
  const std::string Type = AWebRequest.ContentType();
  return SameText(Trim(std::string_view(Type).substr(0, Type.find(';'))), "MULTIPART/FORM-DATA");
}

TSkStringList& TKXFileParser::GetContentFields() {
  Parse();
  return *FContentFields;
}

THTTPFiles& TKXFileParser::HTTPFiles() {
  Parse();
  return *FHTTPFiles;
}

std::shared_ptr<THTTPFiles> TKXFileParser::SharedHTTPFiles() {
  Parse();
  return FHTTPFiles;
}

void TKXFileParser::Parse() {
  if (FParsed) {
    if (!FError.empty()) throw EKXException(FError);
    return;
  }
  FParsed = true;
  FContentFields = std::make_unique<TSkStringList>();
  FHTTPFiles = std::make_shared<THTTPFiles>();
  try {
    ReadBody();
  } catch (const std::exception& E) {
    // Nothing of a refused body survives: its temporary files go now.
    FHTTPFile.reset();
    FHTTPFiles->Clear();
    FContentFields->Clear();
    FFieldValue.clear();
    FError = E.what();
    if (FError.empty()) FError = "Malformed multipart body";
    throw;
  }
}

void TKXFileParser::ReadBody() {
  const std::string Raw = FWebRequest.RawContent();
  const int Length = FWebRequest.ContentLength();
  if (Raw.empty() && Length <= 0) return;   // nothing was posted

  const std::string Boundary = TKXMultipartReader::BoundaryFromContentType(FWebRequest.ContentType());
  if (Boundary.empty()) throw EKXException(kNoBoundary);

  TKXMultipartReader Reader(Boundary);
  Reader.SetMaxPartHeaderSize(FMaxPartHeaderSize);
  Reader.SetMaxParts(FMaxParts);
  Reader.OnPartBegin = [this](const TKXPartHeader& H) {
    FPartName = H.Name;
    FFieldValue.clear();
    if (H.Name.empty()) {
      FPartKind = TPartKind::Ignored;
    } else if (H.HasFileName && !H.FileName.empty()) {
      FPartKind = TPartKind::File;
      FHTTPFile = std::make_unique<THTTPFile>(H.Name, H.FileSize, H.HasContentType ? H.ContentType : kOctetStream,
                                              H.FileName);
    } else {
      FPartKind = TPartKind::Field;
    }
  };
  Reader.OnPartData = [this](std::string_view AData) {
    if (FPartKind == TPartKind::File) FHTTPFile->WriteData(AData);
    else if (FPartKind == TPartKind::Field) FFieldValue.append(AData);
  };
  Reader.OnPartEnd = [this] {
    if (FPartKind == TPartKind::File) {
      FHTTPFile->CloseStream();
      FContentFields->Add(FPartName + "=" + Trim(FHTTPFile->FileName()));
      FHTTPFiles->Add(std::move(FHTTPFile));
    } else if (FPartKind == TPartKind::Field) {
      // Exactly what was typed: only the CR LF before the delimiter is framing.
      FContentFields->Add(FPartName + "=" + FFieldValue);
      FFieldValue.clear();
    }
    FPartKind = TPartKind::Ignored;
  };

  TKXMultipartResult Result = Reader.Feed(Raw);
  // A transport that delivered only part of the body: read the rest until the client stops.
  int64_t Left = static_cast<int64_t>(Length) - static_cast<int64_t>(Raw.size());
  std::string Block(kReadBlockSize, '\0');
  while (Result == TKXMultipartResult::NeedMore && Left > 0) {
    const int Got = FWebRequest.ReadClient(Block.data(), static_cast<int>(std::min<int64_t>(Left, kReadBlockSize)));
    if (Got <= 0) break;
    Left -= Got;
    Result = Reader.Feed(std::string_view(Block).substr(0, static_cast<size_t>(Got)));
  }
  if (Result != TKXMultipartResult::Rejected) Result = Reader.Finish();
  if (Result == TKXMultipartResult::Rejected) throw EKXException(Reader.ErrorMessage());
}

void KXRegisterFileParser() {
  if (!IsContentParserRegistered(TKXFileParser::StaticClassName())) RegisterContentParser<TKXFileParser>();
}
