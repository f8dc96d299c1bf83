#include "cable_budget.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <map>

#include "midi_events.h"
#include "smf_reader.h"

namespace midibuilder {

namespace {

// Windows are checked a little longer than they are, so that a message exactly 100 ms after
// another counts with it however a reader rounds their times: a tenth of the shortest tick (at
// 1000 quarter notes a minute and 65535 ticks a quarter, 0.9 us).
constexpr double kWindow = kBudgetWindowSeconds + 1e-7;
// One unit of the cost of leaving an update out is 1 dB of level held for a second, or this
// many cents of pitch at full level. Pitch weighs heavily: a partial off its pitch moves its
// energy to a neighbouring band. Scored on speech at fifteen voices (STOI), 1 to 2 cents a
// decibel kept the most; 20 lost a further 0.05, 100 a further 0.14.
constexpr double kCentsPerUnit = 2.0;
// Levels below this are silence.
constexpr double kFloorDb = -60.0;

enum class Role : uint8_t {
  Fixed,   // sent as written (set-up, system exclusive, other messages); may be delayed
  Onset,   // note-on or note-off: never left out, delayed only when onsets alone are too many
  Update,  // a level or bend after the channel's first note: may be left out or delayed
};

struct Item {
  int64_t tick = 0;
  double seconds = 0;
  int track = 0;
  std::size_t event = 0;  // index in its track
  const std::vector<uint8_t>* bytes = nullptr;
  Role role = Role::Fixed;
  int stream = -1;      // the level or bend stream it belongs to, -1 for none
  double value = 0;     // the stream's value from here on: cents of bend or dB of level
  double weight = 1.0;  // the channel's amplitude around it: how audible its pitch is
  bool dropped = false;
  int64_t newTick = 0;
};

// The bytes a message puts on the cable after the running status `running` (0 for none), which
// it updates: system exclusive cancels it. An escaped (F7) event sends the bytes after its F7.
std::size_t sentSize(const std::vector<uint8_t>& b, uint8_t& running) {
  const uint8_t status = b[0];
  if (status >= 0xF0) {
    running = 0;
    return status == 0xF7 ? b.size() - 1 : b.size();
  }
  const std::size_t size = b.size() - (status == running ? 1 : 0);
  running = status;
  return size;
}

// A 7-bit level (expression, volume, pressure) on the usual 40 log10(v / 127) curve.
double levelDb(int value) {
  if (value <= 0) return kFloorDb;
  return std::max(40.0 * std::log10(value / 127.0), kFloorDb);
}

// Every message sent, in the order a player sends them (as scheduleOf).
std::vector<Item> gather(const SmfFile& file, const TempoMap& map) {
  std::vector<Item> items;
  for (std::size_t t = 0; t < file.tracks.size(); ++t) {
    const auto& events = file.tracks[t].events;
    for (std::size_t n = 0; n < events.size(); ++n) {
      const SmfEvent& e = events[n];
      if (e.bytes.empty() || e.isMeta() || (e.bytes[0] == 0xF7 && e.bytes.size() == 1)) continue;
      Item item;
      item.tick = e.tick;
      item.seconds = map.secondsAt(e.tick);
      item.track = static_cast<int>(t);
      item.event = n;
      item.bytes = &e.bytes;
      items.push_back(item);
    }
  }
  std::stable_sort(items.begin(), items.end(),
                   [](const Item& a, const Item& b) { return a.tick < b.tick; });
  return items;
}

// Sorts the messages into roles and streams; returns for each stream whether it is a bend.
std::vector<bool> classify(std::vector<Item>& items) {
  int64_t firstNote[16];
  std::fill(std::begin(firstNote), std::end(firstNote), std::numeric_limits<int64_t>::max());
  for (const Item& m : items) {
    const auto& b = *m.bytes;
    if ((b[0] & 0xF0) == 0x90 && b.size() == 3 && b[2] > 0) {
      firstNote[b[0] & 0x0F] = std::min(firstNote[b[0] & 0x0F], m.tick);
    }
  }
  struct Channel {
    int rpnMsb = 127, rpnLsb = 127;
    int rangeSemitones = 2, rangeCents = 0;  // the bend range until a set-up changes it
    double levels[3] = {0, 0, 0};            // volume, expression, pressure (dB)
  };
  Channel channels[16];
  std::map<int, int> streamOf;
  std::vector<bool> isBend;
  std::vector<double> levelAfter(items.size(), 0.0);
  for (std::size_t i = 0; i < items.size(); ++i) {
    Item& m = items[i];
    const auto& b = *m.bytes;
    if (b[0] >= 0xF0) continue;
    const int c = b[0] & 0x0F;
    const int kind = b[0] & 0xF0;
    Channel& ch = channels[c];
    int key = -1;
    if (kind == 0x80 || kind == 0x90) {
      m.role = Role::Onset;
    } else if (kind == 0xE0 && b.size() == 3) {
      key = c * 256;
      const int bend = (b[2] << 7 | b[1]) - 8192;
      m.value = bend / 8192.0 * (ch.rangeSemitones * 100 + ch.rangeCents);
    } else if (kind == 0xB0 && b.size() == 3) {
      const int number = b[1], value = b[2];
      const bool bendRange = ch.rpnMsb == 0 && ch.rpnLsb == 0;
      if (number == 101) ch.rpnMsb = value;
      if (number == 100) ch.rpnLsb = value;
      if (number == 99 || number == 98) ch.rpnMsb = ch.rpnLsb = 127;  // data entry goes to NRPN
      if (number == 6 && bendRange) ch.rangeSemitones = value;
      if (number == 38 && bendRange) ch.rangeCents = value;
      if (number == 7 || number == 11) {
        key = c * 256 + number;
        m.value = ch.levels[number == 7 ? 0 : 1] = levelDb(value);
      }
    } else if (kind == 0xD0 && b.size() == 2) {
      key = c * 256 + 0xD0;
      m.value = ch.levels[2] = levelDb(b[1]);
    }
    if (key >= 0) {
      const auto [it, added] = streamOf.try_emplace(key, static_cast<int>(isBend.size()));
      if (added) isBend.push_back(kind == 0xE0);
      m.stream = it->second;
      if (m.tick >= firstNote[c]) m.role = Role::Update;
    }
    levelAfter[i] = std::max(ch.levels[0] + ch.levels[1] + ch.levels[2], kFloorDb);
  }
  // A bend is heard at the level its channel has once the messages of its tick are in: a new
  // note's bend comes before the expression that opens it.
  int64_t groupTick[16];
  double groupLevel[16] = {};
  std::fill(std::begin(groupTick), std::end(groupTick), -1);
  for (std::size_t i = items.size(); i-- > 0;) {
    Item& m = items[i];
    if ((*m.bytes)[0] >= 0xF0) continue;
    const int c = (*m.bytes)[0] & 0x0F;
    if (m.tick != groupTick[c]) {
      groupTick[c] = m.tick;
      groupLevel[c] = levelAfter[i];
    }
    m.weight = std::pow(10.0, groupLevel[c] / 20);
  }
  return isBend;
}

// The thinning: every window (one starting at each message) over the budget loses the update
// whose absence changes the sound least, until it fits or has no updates left. Links run over
// the messages still sent, globally and within each stream.
class Thinning {
 public:
  Thinning(std::vector<Item>& items, const std::vector<bool>& isBend)
      : items_(items),
        isBend_(isBend),
        n_(static_cast<int>(items.size())),
        prev_(items.size()),
        next_(items.size()),
        prevInStream_(items.size(), -1),
        nextInStream_(items.size(), -1),
        size_(items.size()) {
    std::vector<int> lastOfStream(isBend.size(), -1);
    uint8_t running = 0;
    for (int i = 0; i < n_; ++i) {
      prev_[at(i)] = i - 1;
      next_[at(i)] = i + 1 < n_ ? i + 1 : -1;
      size_[at(i)] = sentSize(bytes(i), running);
      const int s = items_[at(i)].stream;
      if (s >= 0) {
        const int last = lastOfStream[static_cast<std::size_t>(s)];
        prevInStream_[at(i)] = last;
        if (last >= 0) nextInStream_[at(last)] = i;
        lastOfStream[static_cast<std::size_t>(s)] = i;
      }
    }
  }

  void run(double cap) {
    double load = 0;
    int r = n_ > 0 ? 0 : -1;  // the first message after the window
    for (int i = 0; i >= 0; i = next_[at(i)]) {
      const Item& start = items_[at(i)];
      while (r >= 0 && items_[at(r)].seconds < start.seconds + kWindow) {
        load += static_cast<double>(size_[at(r)]);
        r = next_[at(r)];
      }
      while (!start.dropped && load > cap) {
        int best = -1;
        double bestCost = std::numeric_limits<double>::infinity();
        for (int j = i; j != r; j = next_[at(j)]) {
          if (items_[at(j)].dropped || items_[at(j)].role != Role::Update) continue;
          const double c = cost(j);
          if (c < bestCost) {
            bestCost = c;
            best = j;
          }
        }
        if (best < 0) break;
        load += drop(best, r);
      }
      if (!start.dropped) load -= static_cast<double>(size_[at(i)]);
    }
  }

  const std::vector<int>& nextInStream() const { return nextInStream_; }

 private:
  static std::size_t at(int i) { return static_cast<std::size_t>(i); }
  const std::vector<uint8_t>& bytes(int i) const { return *items_[at(i)].bytes; }

  // How much leaving out update i changes what is heard: the difference between its value and
  // the one before, over the time it would have held.
  double cost(int i) const {
    const Item& m = items_[at(i)];
    const int p = prevInStream_[at(i)], n = nextInStream_[at(i)];
    const double before = p >= 0 ? items_[at(p)].value : 0.0;
    const double hold = n >= 0 ? items_[at(n)].seconds - m.seconds : kWindow;
    double change = std::abs(m.value - before);
    if (isBend_[static_cast<std::size_t>(m.stream)]) change = change / kCentsPerUnit * m.weight;
    return hold * change;
  }

  // Leaves message i out; returns the change of the window's load (r: the first message after
  // the window). The next message may now need its status byte.
  double drop(int i, int r) {
    items_[at(i)].dropped = true;
    const int p = prev_[at(i)], n = next_[at(i)];
    if (p >= 0) next_[at(p)] = n;
    if (n >= 0) prev_[at(n)] = p;
    const int ps = prevInStream_[at(i)], ns = nextInStream_[at(i)];
    if (ps >= 0) nextInStream_[at(ps)] = ns;
    if (ns >= 0) prevInStream_[at(ns)] = ps;
    double change = -static_cast<double>(size_[at(i)]);
    if (n >= 0) {
      uint8_t running = 0;
      if (p >= 0) sentSize(bytes(p), running);
      const std::size_t size = sentSize(bytes(n), running);
      if (r < 0 || n < r) change += static_cast<double>(size) - static_cast<double>(size_[at(n)]);
      size_[at(n)] = size;
    }
    return change;
  }

  std::vector<Item>& items_;
  const std::vector<bool>& isBend_;
  int n_;
  std::vector<int> prev_, next_, prevInStream_, nextInStream_;
  std::vector<std::size_t> size_;
};

// The sending: each message at the first tick, no earlier than written nor than the message
// before it, at which the window ending there has room for it. An update that would then come
// after the next one of its stream was due is left out instead.
void schedule(std::vector<Item>& items, const std::vector<int>& nextInStream, const TempoMap& map,
              double cap, CableBudgetReport& report) {
  std::deque<std::pair<double, std::size_t>> window;  // (seconds, bytes) of the last messages
  double load = 0;
  uint8_t running = 0;
  int64_t previousTick = std::numeric_limits<int64_t>::min();
  int previousTrack = -1;
  for (std::size_t i = 0; i < items.size(); ++i) {
    Item& m = items[i];
    if (m.dropped) continue;
    int64_t tick = std::max(m.tick, previousTick);
    // At one tick the lower track is sent first: keep the order chosen here.
    if (tick == previousTick && m.track < previousTrack) ++tick;
    uint8_t afterThis = running;
    const std::size_t size = sentSize(*m.bytes, afterThis);
    // The oldest messages that have left the window by then; they are let go only once this
    // message is sent, as an update left out here may have looked further ahead.
    std::size_t gone = 0;
    double goneBytes = 0;
    double seconds = 0;
    for (;;) {
      seconds = map.secondsAt(tick);
      while (gone < window.size() && window[gone].first <= seconds - kWindow) {
        goneBytes += static_cast<double>(window[gone++].second);
      }
      const double inWindow = load - goneBytes;
      if (gone == window.size() || inWindow + static_cast<double>(size) <= cap) break;
      // Wait until enough of the window's oldest messages have left it (all, for a message
      // larger than the budget).
      double leaving = 0;
      std::size_t k = gone;
      for (; k + 1 < window.size(); ++k) {
        leaving += static_cast<double>(window[k].second);
        if (inWindow - leaving + static_cast<double>(size) <= cap) break;
      }
      const double until = window[k].first + kWindow;
      int64_t later = std::max(map.tickAt(until), tick + 1);
      while (map.secondsAt(later) < until) ++later;
      tick = later;
    }
    if (m.role == Role::Update && tick > m.tick) {
      const int n = nextInStream[i];
      if (n >= 0 && tick > items[static_cast<std::size_t>(n)].tick) {
        m.dropped = true;
        ++report.droppedUpdates;
        continue;
      }
    }
    window.erase(window.begin(), window.begin() + static_cast<std::ptrdiff_t>(gone));
    load -= goneBytes;
    running = afterThis;
    window.emplace_back(seconds, size);
    load += static_cast<double>(size);
    m.newTick = tick;
    previousTick = tick;
    previousTrack = m.track;
    if (tick > m.tick) {
      const double delay = seconds - m.seconds;
      ++report.delayedMessages;
      report.maxDelaySeconds = std::max(report.maxDelaySeconds, delay);
      if (m.role == Role::Onset) {
        ++report.delayedOnsets;
        report.maxOnsetDelaySeconds = std::max(report.maxOnsetDelaySeconds, delay);
      }
    }
  }
}

void putBigEndian32(std::vector<uint8_t>& out, std::size_t at, std::size_t value) {
  for (int i = 0; i < 4; ++i)
    out[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// The file again with the messages' new ticks and without those left out; every track written
// with running status, other events kept in their place.
std::vector<uint8_t> rewrite(std::span<const uint8_t> midi, const SmfFile& file,
                             const std::vector<Item>& items) {
  std::vector<std::vector<int64_t>> ticks(file.tracks.size());
  std::vector<std::vector<bool>> kept(file.tracks.size());
  for (std::size_t t = 0; t < file.tracks.size(); ++t) {
    for (const SmfEvent& e : file.tracks[t].events) ticks[t].push_back(e.tick);
    kept[t].assign(file.tracks[t].events.size(), true);
  }
  for (const Item& m : items) {
    const auto t = static_cast<std::size_t>(m.track);
    if (m.dropped) {
      kept[t][m.event] = false;
    } else {
      ticks[t][m.event] = m.newTick;
    }
  }
  const std::size_t headerEnd = 8 + (std::size_t{midi[4]} << 24 | std::size_t{midi[5]} << 16 |
                                     std::size_t{midi[6]} << 8 | midi[7]);
  std::vector<uint8_t> out(midi.begin(), midi.begin() + static_cast<std::ptrdiff_t>(headerEnd));
  for (std::size_t t = 0; t < file.tracks.size(); ++t) {
    const std::size_t start = out.size();
    out.insert(out.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0});
    int64_t last = 0;
    uint8_t running = 0;
    const auto& events = file.tracks[t].events;
    for (std::size_t n = 0; n < events.size(); ++n) {
      if (!kept[t][n]) continue;
      const std::vector<uint8_t>& b = events[n].bytes;
      const int64_t tick = std::max(ticks[t][n], last);
      int64_t delta = tick - last;
      last = tick;
      // As the builder does: longer delays are carried by empty text events.
      while (delta > static_cast<int64_t>(kMaxDeltaTime)) {
        writeVarLen(out, kMaxDeltaTime);
        out.insert(out.end(), {0xFF, 0x01, 0x00});
        delta -= kMaxDeltaTime;
        running = 0;
      }
      writeVarLen(out, static_cast<uint32_t>(delta));
      const uint8_t status = b[0];
      if (status < 0xF0) {
        if (status != running) out.push_back(status);
        running = status;
        out.insert(out.end(), b.begin() + 1, b.end());
        continue;
      }
      running = 0;
      const std::size_t head = status == 0xFF ? 2 : 1;  // FF type, or F0 / F7
      out.insert(out.end(), b.begin(), b.begin() + static_cast<std::ptrdiff_t>(head));
      writeVarLen(out,
                  static_cast<uint32_t>(std::min<std::size_t>(b.size() - head, kMaxDeltaTime)));
      out.insert(out.end(), b.begin() + static_cast<std::ptrdiff_t>(head), b.end());
    }
    putBigEndian32(out, start + 4, out.size() - start - 8);
  }
  return out;
}

CableBudgetReport measureItems(const std::vector<Item>& items, double cap) {
  CableBudgetReport report;
  std::vector<std::size_t> sizes;
  uint8_t running = 0;
  for (const Item& m : items) sizes.push_back(sentSize(*m.bytes, running));
  report.messages = static_cast<int64_t>(items.size());
  std::size_t end = 0;
  double load = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    report.bytes += static_cast<int64_t>(sizes[i]);
    while (end < items.size() && items[end].seconds < items[i].seconds + kBudgetWindowSeconds) {
      load += static_cast<double>(sizes[end++]);
    }
    if (load > cap) ++report.windowsOver;
    load -= static_cast<double>(sizes[i]);
  }
  if (!items.empty()) report.seconds = items.back().seconds - items.front().seconds;
  return report;
}

}  // namespace

CableBudgetReport measureCableLoad(const SmfFile& file, int32_t bytesPerSecond) {
  const TempoMap map(file);
  return measureItems(gather(file, map), bytesPerSecond * kBudgetWindowSeconds);
}

CableBudgetResult fitCableBudget(std::span<const uint8_t> midi, int32_t bytesPerSecond) {
  CableBudgetResult result;
  result.bytes.assign(midi.begin(), midi.end());
  if (bytesPerSecond < 1) return result;
  const SmfReadResult read = readSmf(midi);
  if (!read.file) return result;
  const SmfFile& file = *read.file;
  const TempoMap map(file);
  std::vector<Item> items = gather(file, map);
  const double cap = bytesPerSecond * kBudgetWindowSeconds;
  result.report = measureItems(items, cap);
  if (result.report.windowsOver == 0) return result;

  const std::vector<bool> isBend = classify(items);
  for (const Item& m : items) result.report.updates += m.role == Role::Update;
  Thinning thinning(items, isBend);
  thinning.run(cap);
  for (const Item& m : items) result.report.droppedUpdates += m.dropped;
  schedule(items, thinning.nextInStream(), map, cap, result.report);
  result.bytes = rewrite(midi, file, items);
  result.report.rewritten = true;
  return result;
}

int32_t parseCableBudget(std::string_view value) {
  if (value.size() == 3 && (value[0] | 0x20) == 'd' && (value[1] | 0x20) == 'i' &&
      (value[2] | 0x20) == 'n') {
    return kDinBytesPerSecond;
  }
  if (value.empty() || value.size() > 7 ||
      value.find_first_not_of("0123456789") != std::string_view::npos) {
    return 0;
  }
  int32_t bytes = 0;
  for (const char c : value) bytes = bytes * 10 + (c - '0');
  return bytes >= 1000 && bytes <= 1000000 ? bytes : 0;
}

std::string cableBudgetRefusal(std::string_view value) {
  return "invalid value for --budget: '" + std::string(value) +
         "' (choose din or 1000 to 1000000 bytes a second)";
}

std::string cableBudgetSummary(const CableBudgetReport& r) {
  const auto ms = [](double seconds) { return std::to_string(std::lround(seconds * 1000)); };
  std::string line = "budget: " + std::to_string(r.windowsOver) + " of " +
                     std::to_string(r.messages) + " 100 ms windows were over (" +
                     std::to_string(r.bytes) + " bytes in " + ms(r.seconds) + " ms)";
  if (r.rewritten) {
    line += "; left out " + std::to_string(r.droppedUpdates) + " of " + std::to_string(r.updates) +
            " level/bend updates, delayed " + std::to_string(r.delayedMessages) +
            " messages by up to " + ms(r.maxDelaySeconds) + " ms, " +
            std::to_string(r.delayedOnsets) + " of them notes by up to " +
            ms(r.maxOnsetDelaySeconds) + " ms";
  }
  return line;
}

}  // namespace midibuilder
