#include "session/KXWAPClient.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/KXException.h"
#include "core/KXResources.h"
#include "SkStrUtils.h"
#include "SkStringList.h"

void KXRegisterFrameworkResources();   // generated with the embedded resources

namespace {

const char kWAPDBResource[] = "KX_WAP_DB";
const char kWAPDBFile[] = "wapdb.dat";

// Written by LoadWAPDB at program start only; read without a lock afterwards.
TSkStringList& DeviceTable() {
  static TSkStringList T;
  return T;
}

// Lines of an 8-bit table; blank lines carry no model and would match every user agent.
void AppendLines(TSkStringList& ATable, std::string_view AText) {
  TSkStringList Lines;
  Lines.SetText(AText);
  for (const std::string& L : Lines)
    if (!L.empty() && L.front() != '=') ATable.Add(Latin1ToUtf8(L));
}

}  // namespace

TKXWAPOutputTagType DetermineWAPClient(std::string_view AUserAgent) {
  if ((ContainsText(AUserAgent, "SYMBIAN OS") && ContainsText(AUserAgent, "OPERA 6.0")) ||
      ContainsText(AUserAgent, "SONYERICSSON"))
    return wotXHTMLMP;
  return wotWML;
}

void TKXWAPClient::LoadWAPDB(std::string_view AApplicationFolder) {
  KXRegisterFrameworkResources();
  const auto BuiltIn = KXFindResource(kWAPDBResource);
  if (!BuiltIn) throw EKXException(std::string("Cannot find internal file: ") + kWAPDBResource);
  TSkStringList Table;
  AppendLines(Table, *BuiltIn);
  if (!AApplicationFolder.empty()) {
    const std::filesystem::path Extra = std::filesystem::path(AApplicationFolder) / kWAPDBFile;
    std::error_code Ec;
    if (std::filesystem::is_regular_file(Extra, Ec)) {
      std::ifstream In(Extra, std::ios::binary);
      std::ostringstream Text;
      Text << In.rdbuf();
      AppendLines(Table, Text.str());
    }
  }
  DeviceTable() = std::move(Table);
}

const TSkStringList& TKXWAPClient::WAPDB() { return DeviceTable(); }

void TKXWAPClient::SetUserAgent(std::string_view AUserAgent) {
  FUserAgent = AUserAgent;
  const TSkStringList& Table = DeviceTable();
  for (int I = 0; I < Table.Count(); ++I) {
    if (!ContainsText(AUserAgent, Table.Names(I))) continue;
    // Seven fields up to the next ";", the eighth is the rest of the line, blanks included.
    const std::string Value = Table.ValueFromIndex(I);
    std::string Fields[8];
    size_t From = 0;
    for (int F = 0; F < 8 && From <= Value.size(); ++F) {
      const size_t P = F < 7 ? Value.find(';', From) : std::string::npos;
      Fields[F] = Value.substr(From, P == std::string::npos ? std::string::npos : P - From);
      From = P == std::string::npos ? Value.size() + 1 : P + 1;
    }
    FIsKnownClient = true;
    FScreenWidth = StrToIntDef(Fields[0], -1);
    FScreenHeight = StrToIntDef(Fields[1], -1);
    FScreenAreaWidth = StrToIntDef(Fields[2], -1);
    FScreenAreaHeight = StrToIntDef(Fields[3], -1);
    FColorDepth = StrToIntDef(Fields[4], 0);
    FSupportsHTTPAuth = Fields[5] == "T";
    FWAPVersion = Fields[6];
    FWMLVersion = Fields[7];
    return;
  }
}
