// Captures what the library hands to the caller's logging function, for
// tests that assert exact texts, severities, function names and units.
#ifndef DSM_TESTS_LOGCAPTURE_H
#define DSM_TESTS_LOGCAPTURE_H

#include "dsm.h"

#include <mutex>
#include <string>
#include <vector>

struct LogLine {
    int severity;
    std::string text;
    bool has_localized;
    std::string localized;
    std::string function;
    std::string source;
    int line;
};

// Installs a capturing logging function for its lifetime and restores the
// previous one afterwards. One capture at a time; not copyable (its mutex).
class LogCapture {
public:
    explicit LogCapture(const char* locale = nullptr) {
        current_ = this;
        previous_ = dsmlib_set_logger(&LogCapture::sink, locale);
    }
    ~LogCapture() {
        dsmlib_set_logger(previous_, nullptr);
        current_ = nullptr;
    }

    std::vector<LogLine> lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
    }
    std::vector<LogLine> exactly(const std::string& text) const { return select(text, true); }
    std::vector<LogLine> containing(const std::string& part) const { return select(part, false); }
    bool has(const std::string& text, int severity, const std::string& function) const {
        for (const LogLine& l : exactly(text))
            if (l.severity == severity && l.function == function) return true;
        return false;
    }
    std::string dump() const {
        std::string out;
        for (const LogLine& l : lines())
            out += std::to_string(l.severity) + " " + l.function + ": " + l.text + "\n";
        return out;
    }

private:
    std::vector<LogLine> select(const std::string& text, bool whole) const {
        std::vector<LogLine> out;
        for (const LogLine& l : lines())
            if (whole ? l.text == text : l.text.find(text) != std::string::npos) out.push_back(l);
        return out;
    }

    static void sink(int severity, const char* text, const char* localized, const char* function,
                     const char* source, int line) {
        LogCapture* self = current_;
        if (!self) return;
        auto str = [](const char* s) { return std::string(s ? s : ""); };
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->lines_.push_back(
            {severity, str(text), localized != nullptr, str(localized), str(function), str(source), line});
    }

    static inline LogCapture* current_ = nullptr;
    dsmlib_logger_t previous_;
    mutable std::mutex mutex_;
    std::vector<LogLine> lines_;
};

#endif
