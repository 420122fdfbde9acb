#include "SimState.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace sim {
namespace {

const char kDigits[] = "0123456789ABCDEF";
// The longest data an answer frame can carry: its length value (data + 3) is one byte.
constexpr std::size_t kMaxAnswerData = 252;

template <class Container> std::string hex(const Container& bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

// "-" for none.
template <class Container> std::string list(const Container& items) {
    if (items.empty()) return "-";
    std::string out;
    for (const auto& item : items) {
        if (!out.empty()) out += ' ';
        out += hex(item);
    }
    return out;
}

void putField(std::string& out, const char* key, const std::string& value) {
    out += key;
    out += ' ';
    out += value;
    out += '\n';
}

std::string lastAnswer(const std::optional<ReaderMemory::Answer>& last) {
    if (!last) return "-";
    return last->request + ' ' + last->frame.code + ' ' +
           (last->frame.data.empty() ? "-" : hex(last->frame.data));
}

void formatReader(std::string& out, int id, const ReaderMemory& m) {
    std::vector<Customer> customers;
    for (const auto& c : m.customers) customers.push_back(c.second);
    putField(out, "reader", std::to_string(id));
    putField(out, "batch-copies", m.batchCopies == BatchCopies::Whole ? "whole" : "unconfirmed");
    putField(out, "delete-renumbers", m.deleteRenumbers ? "1" : "0");
    putField(out, "clock", hex(m.clock));
    putField(out, "modes", hex(m.modeTable));
    putField(out, "capacity", std::to_string(m.capacity));
    putField(out, "customers", list(customers));
    putField(out, "next-seq", std::to_string(m.nextSeq));
    putField(out, "records", list(m.records));
    putField(out, "uploaded", std::to_string(m.uploaded));
    putField(out, "cursor", std::to_string(m.cursor));
    putField(out, "offered", m.offered ? "1" : "0");
    putField(out, "online", list(m.online));
    putField(out, "online-offered", m.onlineOffered ? "1" : "0");
    putField(out, "last-online", m.lastOnline ? hex(*m.lastOnline) : "-");
    putField(out, "last", lastAnswer(m.last));
}

// Reads the text a line at a time, each line a key and its values; every complaint names the
// line it is about.
class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}

    [[noreturn]] void fail(const std::string& why) const {
        throw StateError("line " + std::to_string(lineNo_) + ": " + why);
    }

    // The values of the next line, which must start with `key` and hold `min` to `max` values.
    std::vector<std::string> field(const std::string& key, std::size_t min = 1, std::size_t max = 1) {
        if (!nextLine()) {
            ++lineNo_;
            fail("the file ends before \"" + key + "\"");
        }
        std::vector<std::string> words;
        std::size_t at = 0;
        while (at < line_.size()) {
            const std::size_t end = std::min(line_.find(' ', at), line_.size());
            if (end > at) words.push_back(line_.substr(at, end - at));
            at = end + 1;
        }
        if (words.empty() || words[0] != key) fail("\"" + key + "\" expected");
        words.erase(words.begin());
        if (words.size() < min || words.size() > max) fail("wrong number of values for \"" + key + "\"");
        return words;
    }

    // A decimal number from 0 to `max` (at most 2^32 - 1).
    std::uint64_t number(const std::string& word, std::uint64_t max) const {
        std::uint64_t value = 0;
        for (char c : word) {
            if (c < '0' || c > '9' || value > max) break;
            value = value * 10 + std::uint64_t(c - '0');
        }
        if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos || value > max)
            fail("\"" + word + "\" is not a number from 0 to " + std::to_string(max));
        return value;
    }

    bool flag(const std::string& word) const {
        if (word != "0" && word != "1") fail("\"" + word + "\" is not 0 or 1");
        return word == "1";
    }

    Bytes hexBytes(const std::string& word) const {
        if (word.size() % 2) fail("odd number of hex digits");
        Bytes out;
        for (std::size_t i = 0; i < word.size(); i += 2)
            out.push_back(std::uint8_t(digit(word[i]) << 4 | digit(word[i + 1])));
        return out;
    }

    template <std::size_t N> std::array<std::uint8_t, N> bytes(const std::string& word) const {
        const Bytes b = hexBytes(word);
        if (b.size() != N) fail("\"" + word + "\" is not " + std::to_string(N) + " bytes");
        std::array<std::uint8_t, N> out{};
        std::copy(b.begin(), b.end(), out.begin());
        return out;
    }

    // A list of N-byte items: "-" or the items.
    template <std::size_t N>
    std::vector<std::array<std::uint8_t, N>> items(const std::vector<std::string>& words) const {
        std::vector<std::array<std::uint8_t, N>> out;
        if (words.size() == 1 && words[0] == "-") return out;
        for (const std::string& w : words) out.push_back(bytes<N>(w));
        return out;
    }

    void expectEnd() {
        if (nextLine()) fail("text after \"end\"");
    }

private:
    int digit(char c) const {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        fail(std::string("'") + c + "' is not a hex digit");
    }

    bool nextLine() {
        if (pos_ >= text_.size()) return false;
        const std::size_t end = text_.find('\n', pos_);
        if (end == std::string::npos) {
            line_ = text_.substr(pos_);
            pos_ = text_.size();
        } else {
            line_ = text_.substr(pos_, end - pos_);
            pos_ = end + 1;
        }
        ++lineNo_;
        return true;
    }

    const std::string& text_;
    std::size_t pos_ = 0;
    int lineNo_ = 0;
    std::string line_;
};

ReaderMemory parseReader(Parser& p, int id, int version) {
    if (p.number(p.field("reader")[0], kMaxReaders) != std::uint64_t(id))
        p.fail("reader " + std::to_string(id) + " expected");
    ReaderMemory m;
    if (version >= 2) {
        const std::string copies = p.field("batch-copies")[0];
        if (copies != "unconfirmed" && copies != "whole")
            p.fail("\"" + copies + "\" is not unconfirmed or whole");
        m.batchCopies = copies == "whole" ? BatchCopies::Whole : BatchCopies::Unconfirmed;
        m.deleteRenumbers = p.flag(p.field("delete-renumbers")[0]);
    }
    m.clock = p.bytes<8>(p.field("clock")[0]);
    m.modeTable = p.bytes<48>(p.field("modes")[0]);
    m.capacity = std::size_t(p.number(p.field("capacity")[0], UINT32_MAX));
    for (const Customer& c : p.items<9>(p.field("customers", 1, SIZE_MAX))) {
        EmpNo emp{};
        std::copy_n(c.begin(), emp.size(), emp.begin());
        m.customers[emp] = c;
    }
    m.nextSeq = std::uint32_t(p.number(p.field("next-seq")[0], UINT32_MAX));
    m.records = p.items<16>(p.field("records", 1, SIZE_MAX));
    m.uploaded = std::size_t(p.number(p.field("uploaded")[0], m.records.size()));
    m.cursor = std::size_t(p.number(p.field("cursor")[0], m.records.size()));
    // A whole copy starts at the first record, confirmed or not.
    if (m.cursor < m.uploaded && m.batchCopies == BatchCopies::Unconfirmed)
        p.fail("the cursor stands before the last record uploaded");
    m.offered = p.flag(p.field("offered")[0]);
    if (m.offered && m.cursor == m.records.size()) p.fail("no record at the cursor to be offered");
    const auto online = p.items<16>(p.field("online", 1, SIZE_MAX));
    m.online.assign(online.begin(), online.end());
    m.onlineOffered = p.flag(p.field("online-offered")[0]);
    if (m.onlineOffered && m.online.empty()) p.fail("no on-line record to be offered");
    const auto lastOnline = p.items<16>(p.field("last-online"));
    if (!lastOnline.empty()) m.lastOnline = lastOnline[0];
    const std::vector<std::string> last = p.field("last", 1, 3);
    if (last.size() == 3) {
        for (const std::string& code : {last[0], last[1]})
            if (code.size() != 2) p.fail("\"" + code + "\" is not a two-character command");
        Bytes data = last[2] == "-" ? Bytes{} : p.hexBytes(last[2]);
        if (data.size() > kMaxAnswerData) p.fail("the last answer is too long");
        m.last = ReaderMemory::Answer{last[0], Frame{id, last[1], std::move(data)}};
    } else if (last[0] != "-") {
        p.fail("\"last\" takes \"-\" or a request, an answer code and its data");
    }
    return m;
}

std::system_error osError(const std::string& what) {
    return {errno, std::generic_category(), what};
}

} // namespace

SimState captureState(const std::vector<Reader>& readers, int readerCount, int nextPuncher) {
    SimState state;
    state.nextPuncher = nextPuncher;
    for (int id = 1; id <= readerCount; ++id)
        state.readers.push_back(readers.at(std::size_t(id - 1)).memory());
    return state;
}

void restoreState(std::vector<Reader>& readers, const SimState& state) {
    for (std::size_t i = 0; i < state.readers.size(); ++i) readers.at(i).restore(state.readers[i]);
}

std::string formatState(const SimState& state) {
    std::string out;
    out.reserve(4096);
    out += "qrx-reader-sim state 2\n";
    putField(out, "readers", std::to_string(state.readers.size()));
    putField(out, "next-puncher", std::to_string(state.nextPuncher));
    for (std::size_t i = 0; i < state.readers.size(); ++i) formatReader(out, int(i + 1), state.readers[i]);
    out += "end\n";
    return out;
}

SimState parseState(const std::string& text) {
    Parser p(text);
    const std::vector<std::string> header = p.field("qrx-reader-sim", 0, 2);
    if (header.size() != 2 || header[0] != "state" || (header[1] != "1" && header[1] != "2"))
        p.fail("not a qrx-reader-sim state file of this version");
    const int version = header[1] == "1" ? 1 : 2;
    SimState state;
    const int readers = int(p.number(p.field("readers")[0], kMaxReaders));
    if (readers < 1) p.fail("no readers");
    state.nextPuncher = int(p.number(p.field("next-puncher")[0], std::uint64_t(readers)));
    if (state.nextPuncher < 1) p.fail("next-puncher names no reader");
    for (int id = 1; id <= readers; ++id) state.readers.push_back(parseReader(p, id, version));
    p.field("end", 0, 0);
    p.expectEnd();
    return state;
}

std::optional<SimState> loadState(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) return std::nullopt;
    if (fd < 0) throw StateError(path + ": " + std::generic_category().message(errno));
    std::string text;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, std::size_t(n));
    const int readError = n < 0 ? errno : 0;
    ::close(fd);
    if (readError) throw StateError(path + ": " + std::generic_category().message(readError));
    try {
        return parseState(text);
    } catch (const StateError& e) {
        throw StateError(path + ": " + e.what());
    }
}

void saveState(const std::string& path, const SimState& state) {
    const std::string text = formatState(state);
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw osError(temporary);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const auto error = osError(temporary);
            ::close(fd);
            throw error;
        }
        done += std::size_t(n);
    }
    if (::close(fd) != 0) throw osError(temporary);
    if (std::rename(temporary.c_str(), path.c_str()) != 0) throw osError(path);
}

} // namespace sim
