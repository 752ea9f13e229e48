#include "sw/appserver/AppServer.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <ctime>
#include <map>

#include "sw/appserver/ClassQuery.h"
#include "sw/appserver/DeltaApply.h"
#include "sw/appserver/Schema.h"
#include "sw/appserver/Seed.h"
#include "sw/common/PacketZip.h"
#include "sw/common/UString.h"
#include "sw/core/DateTime.h"
#include "sw/core/Error.h"
#include "sw/core/Format.h"
#include "sw/core/Text.h"
#include "sw/dispatch/ServerObjects.h"
#include "sw/server/CallNumbers.h"

namespace sw::appserver {

struct AppServer::CallStats {
  std::string loginId;
  const char* name = "";
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::int64_t rows = 0;
  std::string error;
};

namespace {

// Classes whose rows the server itself maintains: sessions, the operation analysis and the log.
bool IsReadOnlyClass(std::int32_t classId) {
  return classId == 2007 || classId == 2216 || classId == 1017;
}

// True when the bytes start like a zlib stream (RFC 1950 header check).
bool LooksZipped(const Variant& v) {
  if (!v.IsBytes()) return false;
  const auto& b = v.AsBytes().bytes;
  return b.size() >= 2 && (b[0] & 0x0F) == 8 && ((b[0] << 8) | b[1]) % 31 == 0;
}

const Variant& Arg(const std::vector<Variant>& args, std::size_t i) {
  if (i >= args.size()) throw Error("@调用参数不足: 需要第 " + IntToStr(i + 1) + " 个参数。");
  return args[i];
}

std::string TextArg(const std::vector<Variant>& args, std::size_t i) {
  const Variant& v = Arg(args, i);
  if (v.IsBlank()) return {};
  if (v.IsArray() || v.IsBytes()) throw Error("@第 " + IntToStr(i + 1) + " 个参数应为文本。");
  return v.ToString();
}

std::int32_t IntArg(const std::vector<Variant>& args, std::size_t i) {
  const Variant& v = Arg(args, i);
  try {
    return v.ToInt32();
  } catch (const Error&) {
    throw Error("@第 " + IntToStr(i + 1) + " 个参数应为整数。");
  }
}

std::string NowText() {
  return FormatDateTime("yyyy-mm-dd hh:nn:ss", Now());
}

void AppendInt(std::string& out, std::int64_t v) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
  out.append(digits, end);
}

// The local time of a log line, "yyyy-mm-dd hh:nn:ss.zzz" as Now() gives it. The part up to the seconds is
// formatted once a second per thread (local time changes its offset only at the start of a second), so a line
// costs no calendar arithmetic.
void AppendLogTime(std::string& out) {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto second = floor<seconds>(now);
  thread_local sys_seconds formattedSecond{};
  thread_local std::string formatted;
  if (formatted.empty() || second != formattedSecond) {
    const std::time_t t = system_clock::to_time_t(second);
    std::tm local{};
    localtime_r(&t, &local);
    formatted = FormatDateTime("yyyy-mm-dd hh:nn:ss",
                               EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                              local.tm_hour, local.tm_min, local.tm_sec));
    formattedSecond = second;
  }
  out += formatted;
  const auto ms = static_cast<int>(duration_cast<milliseconds>(now - second).count());
  const char frac[] = {'.', static_cast<char>('0' + ms / 100), static_cast<char>('0' + ms / 10 % 10),
                       static_cast<char>('0' + ms % 10)};
  out.append(frac, sizeof frac);
}

// A duration in milliseconds with three decimals, rounded to the nearest microsecond ("0.000" format).
void AppendMilliseconds(std::string& out, std::chrono::steady_clock::duration d) {
  const std::int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
  const std::int64_t us = ns <= 0 ? 0 : (ns + 500) / 1000;
  AppendInt(out, us / 1000);
  const auto frac = static_cast<int>(us % 1000);
  const char text[] = {'.', static_cast<char>('0' + frac / 100), static_cast<char>('0' + frac / 10 % 10),
                       static_cast<char>('0' + frac % 10)};
  out.append(text, sizeof text);
}

// A text of a log line (login id as sent, error message): line breaks and NUL bytes become spaces, so that
// every call stays one whole line whatever a client sends.
void AppendLogText(std::string& out, std::string_view text) {
  const std::size_t from = out.size();
  out += text;
  for (std::size_t i = from; i < out.size(); ++i) {
    if (out[i] == '\n' || out[i] == '\r' || out[i] == '\0') out[i] = ' ';
  }
}

}  // namespace

AppServer::AppServer(AppServerOptions options)
    : options_(std::move(options)),
      pool_(OpenDbConnector(options_.database), options_.statementTimeout,
            options_.dbConnections == 0 ? DefaultPoolSize() : options_.dbConnections),
      sessions_([this](DbConnection& db) { return NextId(db, 2007, 1); },
                // Server processes share a PostgreSQL database and hear of each other's logouts.
                pool_.Connector().Dialect() == DbDialect::Postgres
                    ? SessionStore::ConnectFn([this] { return pool_.Connector().Connect(); })
                    : SessionStore::ConnectFn()) {
  if (options_.seedDir.empty()) options_.seedDir = DefaultSeedDir();
  if (options_.logFile == "-") {
    log_ = stderr;
  } else if (!options_.logFile.empty()) {
    log_ = std::fopen(options_.logFile.c_str(), "a");
    if (log_ == nullptr) throw Error("cannot open the log file " + options_.logFile);
    ownLog_ = true;
  }
  // A terminal (or standard error) shows every line at once. A log file is written in blocks, at least once a
  // second while calls come in, and wholly when the server stops: a flush per line would cost a system call
  // on every call.
  logEachLine_ = log_ != nullptr && (!ownLog_ || isatty(fileno(log_)) != 0);
  if (log_ != nullptr && !logEachLine_) std::setvbuf(log_, nullptr, _IOFBF, std::size_t{64} * 1024);
  logFlushed_ = std::chrono::steady_clock::now();
}

AppServer::~AppServer() {
  if (ownLog_) std::fclose(log_);
}

bool AppServer::Initialize() {
  auto db = pool_.Acquire();
  const bool created = EnsureSchema(*db);
  LoadDictionarySeeds(*db, options_.seedDir);
  if (options_.demo) LoadDemoData(*db, options_.seedDir);
  dictionary_.Invalidate();
  return created;
}

std::int64_t AppServer::NextId(DbConnection& db, std::int32_t classId, std::int32_t propId) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const auto r = db.Execute(
        "UPDATE tSysNewID SET LastID = LastID + 1 WHERE ClassID = ? AND PropID = ? RETURNING LastID",
        {Variant(classId), Variant(propId)});
    if (!r.rows.empty()) return r.rows[0][0].ToInt64();
    // First id of this class and property: continue after the largest value already stored.
    std::int64_t start = 0;
    std::string table, field;
    if (classId == 0) {
      table = "tSysSysLog";
      field = "LogId";
    } else {
      try {
        const auto cls = dictionary_.Get(db, classId);
        if (const TSysPropDesc* p = cls->FindPropId(propId); p != nullptr && cls->IsOwnColumn(*p)) {
          table = cls->rec.TableName;
          field = Trim(p->FieldName);
        }
      } catch (const Error&) {
        // An id of a class the dictionary lacks simply starts at 1.
      }
    }
    if (IsSqlName(table) && IsSqlName(field)) {
      try {
        const auto m = db.Execute("SELECT MAX(" + field + ") FROM " + table);
        if (!m.rows.empty() && !m.rows[0][0].IsNull()) {
          start = m.rows[0][0].IsNumeric() ? m.rows[0][0].ToInt64()
                                           : TryStrToInt64(m.rows[0][0].ToString()).value_or(0);
        }
      } catch (const Error&) {
        // Not a numeric column (or a view): start at 1.
      }
    }
    db.Execute("INSERT INTO tSysNewID (ClassID, PropID, LastID) VALUES (?, ?, ?) ON CONFLICT DO NOTHING",
               {Variant(classId), Variant(propId), Variant(start)});
  }
  throw Error("cannot hand out a new id");
}

void AppServer::LogCall(const CallStats& s) {
  if (log_ == nullptr) return;
  const auto now = std::chrono::steady_clock::now();
  // The line is built in a buffer of the thread, which keeps its capacity from call to call.
  thread_local std::string line;
  line.clear();
  AppendLogTime(line);
  line += " login=";
  if (s.loginId.empty())
    line += '-';
  else
    AppendLogText(line, s.loginId);
  line += " call=";
  line += s.name;
  line += " ms=";
  AppendMilliseconds(line, now - s.start);
  line += " rows=";
  AppendInt(line, s.rows);
  if (!s.error.empty()) {
    line += " error=";
    AppendLogText(line, s.error);
  }
  line += '\n';
  std::lock_guard<std::mutex> lock(logMutex_);
  std::fwrite(line.data(), 1, line.size(), log_);
  if (logEachLine_ || now - logFlushed_ >= std::chrono::seconds(1)) {
    std::fflush(log_);
    logFlushed_ = now;
  }
}

void AppServer::Register(Dispatcher& d) {
  d.AddObject(kIcommObject);
  d.AddObject(kIGeneralObject);
  d.AddAlias(kIcommClassId, kIcommObject);
  d.AddAlias(kIGeneralClassId, kIGeneralObject);

  // The compression each session last used for the packets it sent; replies follow it. Until a session has
  // sent a packet, replies are compressed (the module's default switch).
  auto zipBySession = std::make_shared<std::pair<std::mutex, std::map<std::int64_t, bool>>>();
  auto rememberZip = [zipBySession](const Session& s, bool zipped) {
    std::lock_guard<std::mutex> lock(zipBySession->first);
    zipBySession->second[s.loginId] = zipped;
  };
  auto wantsZip = [zipBySession](const Session& s) {
    std::lock_guard<std::mutex> lock(zipBySession->first);
    const auto it = zipBySession->second.find(s.loginId);
    return it == zipBySession->second.end() || it->second;
  };
  auto unpack = [this](const Variant& v, bool& zipped) {
    zipped = false;
    if (v.IsBlank()) return v;
    if (!v.IsBytes()) throw Error("@数据包格式错误: 应为字节数组。");
    if (LooksZipped(v)) {
      try {
        Variant out = DecompressPacket(v, options_.maxPacket);
        zipped = true;
        return out;
      } catch (const Error& e) {
        // A class description may begin with bytes that look like a zlib header; a real zlib stream that
        // fails (truncated, corrupt, too large) is refused.
        const auto& b = v.AsBytes().bytes;
        if (b.size() > 8) throw Error(std::string("@数据包解压错误: ") + e.what());
      }
    }
    return v;
  };
  auto pack = [](const Variant& v, bool zip) { return zip ? CompressPacket(v) : v; };

  // Variant-result calls: an error becomes the text reply.
  using Body = std::function<Variant(std::vector<Variant>&, CallStats&)>;
  auto textCall = [this, &d](std::int32_t number, const char* name, Body body) {
    d.Register(kIcommObject, number, [this, name, body](CallContext&, std::vector<Variant>& args) {
      CallStats s;
      s.name = name;
      Variant reply;
      try {
        reply = body(args, s);
      } catch (const Error& e) {
        s.error = e.what();
        reply = Variant(s.error);
      } catch (const std::exception& e) {
        s.error = std::string("@服务器内部错误: ") + e.what();
        reply = Variant(s.error);
      }
      LogCall(s);
      return reply;
    });
  };
  // Integer-result calls: the body sets the result; an error gives `failure` (and the body's own outputs).
  using IntBody = std::function<Variant(std::vector<Variant>&, CallStats&)>;
  auto intCall = [this, &d](std::string_view object, std::int32_t number, const char* name, Variant failure,
                            IntBody body,
                            std::function<void(std::vector<Variant>&, const std::string&)> onError) {
    d.Register(object, number,
               [this, name, failure, body, onError](CallContext&, std::vector<Variant>& args) {
                 CallStats s;
                 s.name = name;
                 Variant reply;
                 try {
                   reply = body(args, s);
                 } catch (const std::exception& e) {
                   s.error = e.what();
                   reply = failure;
                   if (onError) onError(args, s.error);
                 }
                 LogCall(s);
                 return reply;
               });
  };
  auto session = [this](DbConnection& db, std::string loginText, CallStats& s) {
    s.loginId = std::move(loginText);
    auto found = sessions_.Find(db, s.loginId);
    if (!found) throw Error(kSessionInvalid);
    return std::move(*found);
  };

  // --- Host calls
  // -------------------------------------------------------------------------------------------
  d.Register(kIcommObject, kCallLogin, [this](CallContext& ctx, std::vector<Variant>& args) {
    CallStats s;
    s.name = "Login";
    try {
      const std::string code = TextArg(args, 0);
      const std::string password = TextArg(args, 1);
      std::string position = args.size() > 2 ? TextArg(args, 2) : std::string();
      if (Trim(position).empty()) position = ctx.peer.substr(0, ctx.peer.rfind(':'));
      auto db = pool_.Acquire();
      const Session se = sessions_.Login(*db, code, password, position);
      s.loginId = IntToStr(se.loginId);
      s.rows = 1;
      LogCall(s);
      return Variant::Array({Variant(IntToStr(se.loginId)), Variant(se.userId), Variant(se.userCode),
                             Variant(se.userName), Variant(se.orgCode)});
    } catch (const std::exception& e) {
      s.error = e.what();
      LogCall(s);
      throw Error(e.what());
    }
  });
  intCall(
      kIcommObject, kCallLogout, "Logout", Variant(std::int32_t{0}),
      [this](std::vector<Variant>& args, CallStats& s) {
        s.loginId = TextArg(args, 0);
        const auto id = ParseLoginId(s.loginId);
        auto db = pool_.Acquire();
        s.rows = id && sessions_.Logout(*db, *id) ? 1 : 0;
        return Variant(static_cast<std::int32_t>(s.rows));
      },
      nullptr);

  // --- Probes
  // -----------------------------------------------------------------------------------------------
  d.Register(kIcommObject, rcCheckConnection,
             [](CallContext&, std::vector<Variant>&) { return Variant(std::int16_t{1}); });
  d.Register(kIGeneralObject, rcCheckGeneralConnection,
             [](CallContext&, std::vector<Variant>&) { return Variant(std::int16_t{1}); });

  // --- Variant-result calls
  // ---------------------------------------------------------------------------------
  textCall(rcOpenSQL, "OpenSQL", [=, this](std::vector<Variant>& args, CallStats& s) {
    auto db = pool_.Acquire();
    const Session se = session(*db, TextArg(args, 0), s);
    const std::string sql = Trim(TextArg(args, 1));
    if (sql.empty()) throw Error("@SQL语句为空。");
    const DbResult r = db->Execute(sql);
    if (r.columns.empty()) {
      s.rows = r.affected;
      return Variant(static_cast<std::int32_t>(r.affected));
    }
    s.rows = static_cast<std::int64_t>(r.rows.size());
    return pack(PacketFromResult(r), wantsZip(se));
  });

  textCall(rcGetClassDesc, "GetClassDesc", [=, this](std::vector<Variant>& args, CallStats& s) {
    auto db = pool_.Acquire();
    const Session se = session(*db, TextArg(args, 0), s);
    const std::int32_t classId = IntArg(args, 1);
    const std::int32_t language = IntArg(args, 2);
    if (language < 0 || language > 255) throw Error("@语言代码超出范围: " + IntToStr(language));
    const auto cls = dictionary_.Get(*db, classId, static_cast<std::uint8_t>(language));
    s.rows = static_cast<std::int64_t>(cls->props.size());
    return pack(WriteDescription(*cls), wantsZip(se));
  });

  textCall(rcReadClassData, "ReadClassData", [=, this](std::vector<Variant>& args, CallStats& s) {
    auto db = pool_.Acquire();
    const Session se = session(*db, TextArg(args, 0), s);
    bool zipped = false;
    const ClassDef cls = dictionary_.Resolve(*db, ReadDescription(unpack(Arg(args, 1), zipped)));
    rememberZip(se, zipped);
    SelectPlan plan = BuildClassSelect(cls, "", "");
    ApplyReadCondition(cls, TextArg(args, 2), plan);
    std::int64_t total = 0;
    std::size_t rows = 0;
    Variant packet = RunClassSelect(*db, plan, options_.maxRows, total, rows, zipped);
    s.rows = static_cast<std::int64_t>(rows);
    return packet;
  });

  textCall(rcSearchClassData, "SearchClassData", [=, this](std::vector<Variant>& args, CallStats& s) {
    const TDateTime received = Now();
    auto db = pool_.Acquire();
    const std::string login = TextArg(args, 0);
    const Session se = session(*db, login, s);
    bool zipped = false;
    const ClassDef cls = dictionary_.Resolve(*db, ReadDescription(unpack(Arg(args, 1), zipped)));
    rememberZip(se, zipped);
    const std::string fieldList = TextArg(args, 2);
    const bool timing = fieldList == kSearchTimingMode;
    const std::string where = args.size() > 4 ? TextArg(args, 4) : std::string();
    const SelectPlan plan = BuildClassSelect(cls, timing ? "" : fieldList, where);
    const TDateTime queryStart = Now();
    std::int64_t total = 0;
    std::size_t rows = 0;
    // The timing mode reports building and compressing apart; otherwise the packet is compressed as it is
    // written.
    Variant packet = RunClassSelect(*db, plan, options_.maxRows, total, rows, zipped && !timing);
    const TDateTime built = Now();
    s.rows = static_cast<std::int64_t>(rows);
    if (timing) {
      Variant zippedPacket = pack(packet, zipped);
      return Variant::Array({std::move(zippedPacket), Variant::Date(received), Variant::Date(queryStart),
                             Variant::Date(built), Variant::Date(Now()), Variant::Date(Now())});
    }
    return Variant::Array({std::move(packet), Variant(static_cast<std::int32_t>(total))});
  });

  auto applyOne = [=, this](DbConnection& db, const Variant& descArg, const Variant& deltaArg,
                            const Session& se) {
    bool zipped = false;
    const ClassDef cls = dictionary_.Resolve(db, ReadDescription(unpack(descArg, zipped)));
    rememberZip(se, zipped);
    if (IsReadOnlyClass(cls.rec.ClassID)) {
      throw Error("@类 " + IntToStr(cls.rec.ClassID) + " 的数据由服务器维护，不能保存。");
    }
    bool deltaZipped = false;
    const Variant delta = unpack(deltaArg, deltaZipped);
    if (delta.IsBlank()) return std::size_t{0};
    return ApplyDelta(db, cls, delta, [&](std::int32_t c, std::int32_t p) { return NextId(db, c, p); });
  };

  textCall(rcSaveClassData, "SaveClassData", [=, this](std::vector<Variant>& args, CallStats& s) {
    auto db = pool_.Acquire();
    const Session se = session(*db, TextArg(args, 0), s);
    DbTransaction tx(*db);
    s.rows = static_cast<std::int64_t>(applyOne(*db, Arg(args, 1), Arg(args, 2), se));
    tx.Commit();
    return Variant(std::int32_t{1});
  });

  textCall(rcSaveMasterDetailData, "SaveMasterDetailData",
           [=, this](std::vector<Variant>& args, CallStats& s) {
             auto db = pool_.Acquire();
             const Session se = session(*db, TextArg(args, 0), s);
             if (!Arg(args, 1).IsArray() || !Arg(args, 2).IsArray()) throw Error("@主从数据应为数组。");
             const VariantArray& descs = args[1].AsArray();
             const VariantArray& deltas = args[2].AsArray();
             DbTransaction tx(*db);
             for (std::int32_t i = descs.low; i <= descs.High(); ++i) {
               const Variant& desc = descs.At(i);
               // A text element is the head text of the save, not a class: it is skipped.
               if (desc.IsText()) continue;
               if (i < deltas.low || i > deltas.High())
                 throw Error("@主从数据的类描述与修改数据个数不一致。");
               const Variant& delta = deltas.At(i);
               if (delta.IsText()) continue;
               s.rows += static_cast<std::int64_t>(applyOne(*db, desc, delta, se));
             }
             tx.Commit();
             return Variant(std::int32_t{1});
           });

  // --- Integer-result and by-reference calls
  // ----------------------------------------------------------------
  intCall(
      kIcommObject, rcExecSQL, "ExecSQL", Variant(),
      [=, this](std::vector<Variant>& args, CallStats& s) {
        Arg(args, 2);
        args[0] = Variant(std::int32_t{0});
        auto db = pool_.Acquire();
        session(*db, TextArg(args, 1), s);
        std::string sql;
        try {
          sql = Trim(DecryptText(TextArg(args, 2)));
        } catch (const Error& e) {
          throw Error(std::string("@SQL密文错误: ") + e.what());
        }
        if (sql.empty()) throw Error("@SQL语句为空。");
        DbTransaction tx(*db);
        s.rows = db->Execute(sql).affected;
        tx.Commit();
        args[0] = Variant(std::int32_t{1});
        return Variant();
      },
      [](std::vector<Variant>& args, const std::string&) {
        if (!args.empty()) args[0] = Variant(std::int32_t{0});
      });

  intCall(
      kIcommObject, rcGetPropValue, "GetPropValue", Variant(),
      [=, this](std::vector<Variant>& args, CallStats& s) {
        Arg(args, 6);
        args[0] = Variant(std::int32_t{0});
        auto db = pool_.Acquire();
        session(*db, TextArg(args, 1), s);
        const auto cls = dictionary_.Get(*db, IntArg(args, 3));
        // The column of a property named by field name or caption (views into the class, nothing copied).
        auto find = [&](const std::string& name) {
          const std::string_view trimmed = TrimmedView(name);
          const TSysPropDesc* p = cls->FindField(trimmed);
          if (p == nullptr) {
            for (const auto& q : cls->props) {
              if (SameText(q.Caption, trimmed)) p = &q;
            }
          }
          const std::string_view column = p == nullptr ? std::string_view() : TrimmedView(p->FieldName);
          if (p == nullptr || !cls->IsOwnColumn(*p) || !IsSqlName(column)) {
            throw Error("@类 " + IntToStr(cls->rec.ClassID) + " 没有属性 " + name + "。");
          }
          return column;
        };
        const std::string_view field = find(TextArg(args, 2));
        const std::string_view key = find(TextArg(args, 4));
        const std::string_view table = cls->rec.TableName;
        std::string sql;
        sql.reserve(field.size() + table.size() + key.size() + 24);
        sql.append("SELECT ")
            .append(field)
            .append(" FROM ")
            .append(table)
            .append(" WHERE ")
            .append(key)
            .append(" = ?");
        // The first row's value is taken as it is read: no result table is built for one value.
        Variant value = Variant::Null();
        s.rows = static_cast<std::int64_t>(db->ExecuteEach(
            sql, {Variant(TextArg(args, 5))},
            [&value, first = true](const std::vector<DbColumn>&, std::span<const DbValue> row) mutable {
              if (first) value = row[0].ToVariant();
              first = false;
            }));
        args[6] = std::move(value);
        args[0] = Variant(std::int32_t{s.rows == 0 ? 0 : 1});
        return Variant();
      },
      [](std::vector<Variant>& args, const std::string&) {
        if (!args.empty()) args[0] = Variant(std::int32_t{-1});
      });

  textCall(rcGetNewID, "GetNewID", [=, this](std::vector<Variant>& args, CallStats& s) {
    try {
      auto db = pool_.Acquire();
      session(*db, TextArg(args, 0), s);
      const std::int32_t classId = IntArg(args, 1);
      const std::int32_t propId = IntArg(args, 2);
      dictionary_.Get(*db, classId);
      s.rows = 1;
      return Variant(IntToStr(NextId(*db, classId, propId)));
    } catch (const Error& e) {
      std::string text = e.what();
      if (!text.empty() && text[0] == '@') text.erase(0, 1);
      // Errors of this call begin with "函数" so that the module raises them instead of reading a number.
      throw Error("函数GetNewID执行错误: " + text);
    }
  });

  intCall(
      kIcommObject, rcQueryData, "QueryData", Variant(std::int32_t{-1}),
      [=, this](std::vector<Variant>& args, CallStats& s) {
        Arg(args, 4);
        args[3] = Variant();
        auto db = pool_.Acquire();
        const Session se = session(*db, TextArg(args, 0), s);
        const std::string sql = Trim(TextArg(args, 2));
        if (sql.empty()) throw Error("@SQL语句为空。");
        const DbResult r = db->Execute(sql);
        s.rows = static_cast<std::int64_t>(r.rows.size());
        args[3] = pack(PacketFromResult(r), wantsZip(se));
        return Variant(std::int32_t{1});
      },
      nullptr);

  intCall(
      kIcommObject, rcGetWflStatus, "GetWflStatus", Variant(std::int32_t{0}),
      [](std::vector<Variant>& args, CallStats& s) {
        // No workflow is defined in this system: no status data for any function. The call carries the
        // user id rather than a login id, so there is no session to check.
        Arg(args, 9);
        s.loginId = "user:" + TextArg(args, 0);
        args[1] = Variant(std::string());
        args[8] = Variant();
        args[9] = Variant(std::string());
        return Variant(std::int32_t{0});
      },
      nullptr);

  auto writeLog = [=, this](std::vector<Variant>& args, CallStats& s, bool operation) {
    auto db = pool_.Acquire();
    const Session se = session(*db, TextArg(args, 0), s);
    const std::string source = TextArg(args, 1);
    const std::string message = TextArg(args, 2);
    if (operation) {
      db->Execute(
          "INSERT INTO tSysOprLog (LogId, LoginId, UserId, UserCode, UserName, OrgCode, LogTime, Source, "
          "Message) "
          "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
          {Variant(NextId(*db, 1017, 1)), Variant(se.loginId), Variant(se.userId), Variant(se.userCode),
           Variant(se.userName), Variant(se.orgCode), Variant(NowText()), Variant(source), Variant(message)});
    } else {
      db->Execute(
          "INSERT INTO tSysSysLog (LogId, LoginId, UserCode, LogTime, Source, Message) VALUES (?, ?, ?, ?, "
          "?, ?)",
          {Variant(NextId(*db, 0, 1)), Variant(se.loginId), Variant(se.userCode), Variant(NowText()),
           Variant(source), Variant(message)});
    }
    s.rows = 1;
    return Variant(std::int32_t{1});
  };
  intCall(
      kIcommObject, rcWriteOprLog, "WriteOprLog", Variant(std::int32_t{-1}),
      [=](std::vector<Variant>& args, CallStats& s) { return writeLog(args, s, true); }, nullptr);
  intCall(
      kIcommObject, rcWriteSysLog, "WriteSysLog", Variant(std::int32_t{-1}),
      [=](std::vector<Variant>& args, CallStats& s) { return writeLog(args, s, false); }, nullptr);

  intCall(
      kIcommObject, rcSetPrintTimes, "SetPrintTimes", Variant(std::int32_t{-1}),
      [=, this](std::vector<Variant>& args, CallStats& s) {
        Arg(args, 7);
        args[1] = Variant(std::string());
        auto db = pool_.Acquire();
        session(*db, TextArg(args, 0), s);
        const auto cls = dictionary_.Get(*db, IntArg(args, 2));
        auto field = [&](const std::string& name) {
          const TSysPropDesc* p = cls->FindField(Trim(name));
          if (p == nullptr || !cls->IsOwnColumn(*p) || !IsSqlName(Trim(p->FieldName))) {
            throw Error("@类 " + IntToStr(cls->rec.ClassID) + " 没有字段 " + name + "。");
          }
          return Trim(p->FieldName);
        };
        const std::string dateField = field(TextArg(args, 3));
        const std::string countField = field(TextArg(args, 4));
        const std::string cond = Trim(TextArg(args, 7));
        const TDateTime when = args[5].IsBlank() ? Now() : args[5].ToDateTime();
        const std::int64_t add = args[6].IsBlank() ? 1 : args[6].ToInt64();
        DbTransaction tx(*db);
        const auto r = db->Execute("UPDATE " + cls->rec.TableName + " SET " + dateField + " = ?, " +
                                       countField + " = COALESCE(" + countField + ", 0) + ?" +
                                       (cond.empty() ? std::string() : " WHERE " + cond),
                                   {Variant(FormatDateTime("yyyy-mm-dd hh:nn:ss", when)), Variant(add)});
        tx.Commit();
        s.rows = r.affected;
        if (r.affected == 0) {
          args[1] = Variant(std::string("没有符合条件的记录。"));
          return Variant(std::int32_t{-2});
        }
        return Variant(static_cast<std::int32_t>(r.affected));
      },
      [](std::vector<Variant>& args, const std::string& error) {
        if (args.size() > 1) args[1] = Variant(error);
      });

  intCall(
      kIGeneralObject, rcQueryTable, "QueryTable", Variant(std::int32_t{-1}),
      [=, this](std::vector<Variant>& args, CallStats& s) {
        Arg(args, 5);
        args[0] = Variant(std::string());
        args[5] = Variant();
        auto plain = [&](std::size_t i) {
          try {
            return Trim(DecryptText(TextArg(args, i)));
          } catch (const Error& e) {
            throw Error(std::string("@密文错误: ") + e.what());
          }
        };
        auto db = pool_.Acquire();
        session(*db, plain(1), s);
        const std::string table = plain(2);
        const std::string fields = plain(3);
        const std::string cond = plain(4);
        if (table.empty() || fields.empty()) throw Error("@表名或字段为空。");
        const DbResult r = db->Execute("SELECT " + fields + " FROM " + table +
                                       (cond.empty() ? std::string() : " WHERE " + cond));
        s.rows = static_cast<std::int64_t>(r.rows.size());
        args[5] = CompressPacket(PacketFromResult(r));
        return Variant(static_cast<std::int32_t>(r.rows.size()));
      },
      [](std::vector<Variant>& args, const std::string& error) {
        if (!args.empty()) args[0] = Variant(error);
      });
}

}  // namespace sw::appserver
