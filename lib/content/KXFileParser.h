#pragma once
// The content parser for multipart/form-data posts: ordinary parts become content fields,
// file parts become THTTPFile records whose data sits in temporary files.
#include <memory>
#include <string>

#include "content/KXHTTPFile.h"
#include "SkWebRequest.h"

class TSkStringList;

class TKXFileParser : public TAbstractContentParser {
public:
  explicit TKXFileParser(TWebRequest& AWebRequest);
  ~TKXFileParser() override;

  static const char* StaticClassName() { return "TKXFileParser"; }
  // A POST whose content type, up to its first ";", is multipart/form-data.
  static bool CanParse(TWebRequest& AWebRequest);
  const char* ClassName() const override { return StaticClassName(); }

  // The first call of either parses the whole body. A malformed body raises EKXException with
  // the reason, leaves no temporary file behind, and every later call raises it again.
  TSkStringList& GetContentFields() override;
  TAbstractWebRequestFiles& GetFiles() override { return HTTPFiles(); }
  THTTPFiles& HTTPFiles();
  // The records with shared ownership, for the session that serves this request.
  std::shared_ptr<THTTPFiles> SharedHTTPFiles();

  // Limits of the multipart reader; set before the first call.
  size_t MaxPartHeaderSize() const { return FMaxPartHeaderSize; }
  void SetMaxPartHeaderSize(size_t AValue) { FMaxPartHeaderSize = AValue; }
  int MaxParts() const { return FMaxParts; }
  void SetMaxParts(int AValue) { FMaxParts = AValue; }

private:
  enum class TPartKind { Ignored, Field, File };

  void Parse();
  void ReadBody();

  std::shared_ptr<THTTPFiles> FHTTPFiles;
  std::unique_ptr<TSkStringList> FContentFields;
  std::unique_ptr<THTTPFile> FHTTPFile;   // the record being filled; none between parts
  std::string FFieldValue;                // the data of the current ordinary part
  std::string FPartName;
  TPartKind FPartKind = TPartKind::Ignored;
  bool FParsed = false;
  std::string FError;                     // why the body was refused; empty when it was not
  size_t FMaxPartHeaderSize;
  int FMaxParts;
};

// Adds TKXFileParser to the content-parser registry once; called during start-up.
void KXRegisterFileParser();
