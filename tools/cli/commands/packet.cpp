// packet-build and packet-dump: make a data packet from tab-separated text and show data or delta packets as
// tab-separated text, for support and scripted checks of what the server sends and receives.
#include <istream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>

#include "Cli.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/dataset/Packet.h"

namespace {

// "integer" -> ftInteger: the type names without their "ft" prefix, in any letter case.
sw::TFieldType ParseType(const std::string& name) {
  for (int code = 1; code <= sw::kLastFieldType; ++code) {
    auto t = static_cast<sw::TFieldType>(code);
    if (sw::SameText(std::string(sw::FieldTypeName(t)).substr(2), name)) return t;
  }
  throw sw::Error("unknown field type '" + name + "'");
}

// Tabs, line ends and backslashes inside a value are escaped; a null is \N.
std::string Escape(const sw::Variant& v) {
  if (v.IsNull()) return "\\N";
  std::string s;
  if (v.IsBytes()) {
    static const char* hex = "0123456789abcdef";
    s = "0x";
    for (std::uint8_t b : v.AsBytes().bytes) {
      s += hex[b >> 4];
      s += hex[b & 15];
    }
    return s;
  }
  for (char c : v.ToString()) {
    switch (c) {
      case '\t':
        s += "\\t";
        break;
      case '\n':
        s += "\\n";
        break;
      case '\r':
        s += "\\r";
        break;
      case '\\':
        s += "\\\\";
        break;
      default:
        s += c;
    }
  }
  return s;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    char c = s[++i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return out;
}

std::string Header(const std::vector<sw::TFieldDef>& fields) {
  std::string line;
  for (const auto& f : fields) {
    if (!line.empty()) line += '\t';
    line += f.Name + ":" + sw::LowerCase(std::string(sw::FieldTypeName(f.DataType)).substr(2));
    if (f.Size > 0) line += ":" + sw::IntToStr(f.Size);
  }
  return line;
}

int RunBuild(sw::cli::CliContext& ctx) {
  if (ctx.args.empty()) {
    ctx.err << "usage: staffwatch-cli packet-build NAME:TYPE[:SIZE]... < TSV > PACKET\n";
    return sw::cli::kExitUsage;
  }
  sw::PacketWriter w;
  for (const auto& a : ctx.args) {
    auto parts = sw::Split(a, ':');
    if (parts.size() < 2 || parts.size() > 3) throw sw::Error("field '" + a + "' is not NAME:TYPE[:SIZE]");
    int size = 0;
    if (parts.size() == 3) {
      auto n = sw::TryStrToInt64(parts[2]);
      if (!n || *n < 0 || *n > 1000000) throw sw::Error("field '" + a + "' has a bad size");
      size = static_cast<int>(*n);
    }
    w.AddField(parts[0], ParseType(parts[1]), size);
  }
  std::string line;
  int lineNo = 0;
  while (std::getline(ctx.in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto cells = sw::Split(line, '\t');
    if (cells.size() != w.Fields().size()) {
      throw sw::Error("line " + sw::IntToStr(lineNo) + " has " +
                      sw::IntToStr(static_cast<std::int64_t>(cells.size())) + " values for " +
                      sw::IntToStr(static_cast<std::int64_t>(w.Fields().size())) + " fields");
    }
    try {
      for (const auto& c : cells) {
        if (c == "\\N") {
          w.AddNull();
        } else {
          w.AddText(Unescape(c));
        }
      }
      w.EndRow();
    } catch (const sw::Error& e) {
      throw sw::Error("line " + sw::IntToStr(lineNo) + ": " + e.what());
    }
  }
  auto bytes = w.Finish();
  ctx.out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ctx.out.flush();
  return sw::cli::kExitOk;
}

int RunDump(sw::cli::CliContext& ctx) {
  if (!ctx.args.empty()) {
    ctx.err << "usage: staffwatch-cli packet-dump < PACKET\n";
    return sw::cli::kExitUsage;
  }
  const std::string input{std::istreambuf_iterator<char>(ctx.in), std::istreambuf_iterator<char>()};
  std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
  // The kind byte follows the magic and the version.
  if (bytes.size() > 6 && sw::LooksLikePacket(bytes) && bytes[6] == 1) {
    sw::DeltaReader d(bytes);
    ctx.out << "change\t" << Header(d.Fields()) << "\n";
    static const char* kinds[] = {"modify", "insert", "delete"};
    for (std::size_t i = 0; i < d.Count(); ++i) {
      auto kind = d.Kind(i);
      for (int side = 0; side < 2; ++side) {
        bool old = side == 0;
        if ((old && kind == sw::TUpdateKind::ukInsert) || (!old && kind == sw::TUpdateKind::ukDelete))
          continue;
        ctx.out << kinds[static_cast<int>(kind)] << (old ? " old" : " new");
        for (std::size_t f = 0; f < d.Fields().size(); ++f) {
          ctx.out << '\t' << Escape(old ? d.OldValue(i, f) : d.NewValue(i, f));
        }
        ctx.out << "\n";
      }
    }
    return sw::cli::kExitOk;
  }
  sw::PacketReader r(bytes);
  ctx.out << Header(r.Fields()) << "\n";
  for (std::size_t row = 0; row < r.RowCount(); ++row) {
    for (std::size_t f = 0; f < r.Fields().size(); ++f) {
      if (f) ctx.out << '\t';
      ctx.out << Escape(r.Value(row, f));
    }
    ctx.out << "\n";
  }
  return sw::cli::kExitOk;
}

sw::cli::CliCommand regBuild{
    "packet-build", "packet-build NAME:TYPE[:SIZE]... < TSV > PACKET",
    "writes a data packet from tab-separated rows (\\N for a null; types as integer, "
    "string, date, datetime, currency, ...)",
    &RunBuild};
sw::cli::CliCommand regDump{
    "packet-dump", "packet-dump < PACKET",
    "shows a data or delta packet as tab-separated text; malformed packets are refused", &RunDump};

}  // namespace
