// Captures what the library hands to the caller's logging function, for
// tests that assert exact texts, severities, function names and units.
#ifndef DSM_TESTS_LOGCAPTURE_H
#define DSM_TESTS_LOGCAPTURE_H

#include "dsm.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

struct LogLine {
    int severity = 0;
    std::string text;
    bool has_localized = false;
    std::string localized;
    std::string function;
    std::string source;
    int line = 0;
};

inline std::ostream& operator<<(std::ostream& os, const LogLine& l) {
    return os << "[" << l.severity << "] " << l.function << "@" << l.source << ":" << l.line
              << " " << l.text << (l.has_localized ? " | " + l.localized : std::string());
}

// Installs a capturing logging function for its lifetime and restores the
// previous one afterwards. One capture at a time.
class LogCapture {
public:
    explicit LogCapture(const char* locale = nullptr) {
        instance() = this;
        previous_ = dsmlib_set_logger(&LogCapture::sink, locale);
    }
    ~LogCapture() {
        dsmlib_set_logger(previous_, nullptr);
        instance() = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogLine> lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
    }
    // Lines whose text equals 'text' exactly.
    std::vector<LogLine> exactly(const std::string& text) const {
        return select([&](const LogLine& l) { return l.text == text; });
    }
    // Lines whose text contains 'part'.
    std::vector<LogLine> containing(const std::string& part) const {
        return select([&](const LogLine& l) { return l.text.find(part) != std::string::npos; });
    }
    bool has(const std::string& text, int severity, const std::string& function) const {
        for (const LogLine& l : exactly(text))
            if (l.severity == severity && l.function == function) return true;
        return false;
    }
    // Index of the first line with exactly 'text', or -1.
    int index_of(const std::string& text) const {
        std::lock_guard<std::mutex> lock(mutex_);
        for (size_t i = 0; i < lines_.size(); ++i)
            if (lines_[i].text == text) return static_cast<int>(i);
        return -1;
    }
    std::string dump() const {
        std::string out;
        for (const LogLine& l : lines()) {
            out += std::to_string(l.severity) + " " + l.function + ": " + l.text + "\n";
        }
        return out;
    }

private:
    template <class Pred>
    std::vector<LogLine> select(Pred pred) const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<LogLine> out;
        std::copy_if(lines_.begin(), lines_.end(), std::back_inserter(out), pred);
        return out;
    }

    static LogCapture*& instance() {
        static LogCapture* current = nullptr;
        return current;
    }

    static void sink(int severity, const char* text, const char* localized, const char* function,
                     const char* source, int line) {
        LogCapture* self = instance();
        if (!self) return;
        LogLine l;
        l.severity = severity;
        l.text = text ? text : "";
        l.has_localized = localized != nullptr;
        l.localized = localized ? localized : "";
        l.function = function ? function : "";
        l.source = source ? source : "";
        l.line = line;
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->lines_.push_back(std::move(l));
    }

    dsmlib_logger_t previous_;
    mutable std::mutex mutex_;
    std::vector<LogLine> lines_;
};

#endif
