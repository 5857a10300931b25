#include "KXScriptRecorder.h"

#include <cctype>
#include <cstdio>

#include "SkStrUtils.h"

namespace {

const char kUnitHead[] =
    "// %s: a session recorded by the server console's script recorder. It replays the recorded\n"
    "// values and submissions against the application in-process and checks that each submission\n"
    "// reaches the form it reached while it was recorded. Link it with the application's classes\n"
    "// and a main that registers them (controller class and main form) before the tests run.\n"
    "#include <gtest/gtest.h>\n"
    "\n"
    "#include <memory>\n"
    "\n"
    "#include \"KXScriptPlayer.h\"\n"
    "\n"
    "class %s : public ::testing::Test {\n"
    "protected:\n"
    "  void SetUp() override { Player = std::make_unique<TKXScriptPlayer>(); }\n"
    "  void TearDown() override { Player.reset(); }\n"
    "\n"
    "  std::unique_ptr<TKXScriptPlayer> Player;\n"
    "};\n"
    "\n"
    "TEST_F(%s, RecordedSession) {\n"
    "  Player->OpenSession();\n";

const char kUnitTail[] =
    "  Player->CloseSession();\n"
    "}\n";

std::string Statement(const TKXRecordedStep& S) {
  const std::string Form = KXCppStringLiteral(S.FormClass);
  const std::string Name = KXCppStringLiteral(S.Name);
  const std::string Value = KXCppStringLiteral(S.Value);
  if (S.Kind == TKXRecordedStep::rsValue) return "  Player->SetValue(" + Form + ", " + Name + ", " + Value + ");\n";
  if (!S.Ended)
    return "  // the handler raised while this was recorded: the form it leads to is not checked\n"
           "  Player->Submit(" + Form + ", " + Name + ", " + Value + ");\n";
  return "  Player->Submit(" + Form + ", " + Name + ", " + Value + ", " + KXCppStringLiteral(S.Reached) + ");\n";
}

// The length of the UTF-8 sequence starting at AText[I], or 0 when it is not a valid one.
size_t Utf8Length(const std::string& AText, size_t I) {
  const auto B = static_cast<unsigned char>(AText[I]);
  const size_t N = B >= 0xF0 && B <= 0xF4 ? 4 : B >= 0xE0 ? 3 : B >= 0xC2 && B < 0xE0 ? 2 : 0;
  if (N == 0 || I + N > AText.size()) return 0;
  return IsValidUtf8(std::string_view(AText).substr(I, N)) ? N : 0;
}

}  // namespace

std::string KXCppStringLiteral(const std::string& AText) {
  std::string R = "\"";
  for (size_t I = 0; I < AText.size(); ++I) {
    const auto C = static_cast<unsigned char>(AText[I]);
    switch (C) {
      case '"': R += "\\\""; continue;
      case '\\': R += "\\\\"; continue;
      case '\n': R += "\\n"; continue;
      case '\r': R += "\\r"; continue;
      case '\t': R += "\\t"; continue;
      default: break;
    }
    if (C >= 0x80) {
      if (const size_t N = Utf8Length(AText, I)) {
        R.append(AText, I, N);
        I += N - 1;
        continue;
      }
    }
    if (C < 0x20 || C >= 0x7F) {
      char Octal[8];
      std::snprintf(Octal, sizeof Octal, "\\%03o", C);   // three digits: never runs into what follows
      R += Octal;
      continue;
    }
    R += static_cast<char>(C);
  }
  return R + "\"";
}

std::string KXCppIdentifier(const std::string& AName) {
  std::string R;
  for (char C : AName) R += (std::isalnum(static_cast<unsigned char>(C)) || C == '_') ? C : '_';
  if (R.empty() || std::isdigit(static_cast<unsigned char>(R[0]))) R = "_" + R;
  return R;
}

std::vector<TKXRecordedStep> TKXScriptRecorder::Steps() const {
  std::lock_guard<std::mutex> Guard(FLock);
  return FSteps;
}

void TKXScriptRecorder::ValueRestored(const std::string& AFormClass, const std::string& AField,
                                      const std::string& AValue) {
  if (!FRecording) return;
  std::lock_guard<std::mutex> Guard(FLock);
  FSteps.push_back({TKXRecordedStep::rsValue, AFormClass, AField, AValue, false, {}});
}

int TKXScriptRecorder::SubmitStarted(const std::string& AFormClass, const std::string& AControl,
                                     const std::string& AParam) {
  if (!FRecording) return -1;
  std::lock_guard<std::mutex> Guard(FLock);
  FSteps.push_back({TKXRecordedStep::rsSubmit, AFormClass, AControl, AParam, false, {}});
  return static_cast<int>(FSteps.size() - 1);
}

void TKXScriptRecorder::SubmitEnded(int AStep, const std::string& AReachedFormClass) {
  if (AStep < 0) return;
  std::lock_guard<std::mutex> Guard(FLock);
  if (static_cast<size_t>(AStep) >= FSteps.size()) return;
  FSteps[static_cast<size_t>(AStep)].Ended = true;
  FSteps[static_cast<size_t>(AStep)].Reached = AReachedFormClass;
}

std::string TKXScriptRecorder::GenereateTestUnit(const std::string& AUnitName) const {
  const std::string Fixture = KXCppIdentifier(AUnitName);
  std::string Head = kUnitHead;
  Head = ReplaceAll(Head, "%s", Fixture);
  std::string R = Head;
  for (const TKXRecordedStep& S : Steps()) R += Statement(S);
  return R + kUnitTail;
}
