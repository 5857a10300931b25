#pragma once
// Response compression: a finished 200 answer is sent gzip or deflate coded when the browser
// accepts that coding, the body is large enough and its content type may be compressed for
// that browser. One compressor serves every request thread; Compress only reads its fields.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/KXComponent.h"

class TSkStream;
class TWebRequest;
class TWebResponse;

class TKXCompressor : public TKXComponent {
public:
  KX_DECLARE_CLASS_INFO
  explicit TKXCompressor(TKXComponent* AOwner = nullptr);

  int Level() const { return FLevel; }
  void SetLevel(int AValue) { FLevel = AValue < 1 ? 1 : AValue > 9 ? 9 : AValue; }

  // Compresses AResponse in place when the rules allow it, else leaves it untouched.
  void Compress(void* Sender, TWebRequest* Request, TWebResponse* Response, bool& Handled) const;

  // The content-type check for a user agent: the browser table's skip lists, then FContentTypes.
  bool ContentTypeAllowed(std::string_view AContentType, std::string_view AUserAgent) const;
  // Patterns separated by commas; AEmptyResult for a list with no pattern at all.
  static bool MatchesList(std::string_view AList, std::string_view AContentType, bool AEmptyResult);
  // Both upper case: "*", "*/*", "TEXT/*", "*/CSS" or a whole content type.
  static bool MatchPattern(std::string_view APattern, std::string_view AContentType);
  // Raw deflate data of ASource appended to ADest, between the gzip header and trailer when
  // AGZip. Returns the bytes appended, or -1 when the library could not be set up.
  static int64_t Deflate(std::string_view ASource, std::string& ADest, int ALevel, int ABlockSize, bool AGZip);
  // The same for a stream, read from its start in ABlockSize blocks.
  static int64_t DeflateStream(TSkStream& ASource, TSkStream& ADest, int ALevel, int ABlockSize, bool AGZip);

private:
  bool FAllowGZIP = true;
  bool FAllowDeflate = true;
  int32_t FMinSize = 1000;   // 0: no size check
  int32_t FLevel = 6;
  std::string FContentTypes = "text/*, application/x-javascript";
  std::string FSkipContentTypes;
  std::string FDontSkipContentTypes;
  bool FSkipAuto = true;     // the skip lists come from the browser table
  int32_t FBufSize = 16384;
};
