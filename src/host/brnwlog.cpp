// Host localised logging library: argument cells and lists, the message
// catalogue and application messages.
#include "brnwlog.h"
#include "hostlog.h"
#include "kdbase.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace {

enum Tag : int { kUnset = 0, kString = 1, kInt = 2, kLongLong = 3 };

// Layout of a cell; it must fit the caller-allocated 32 bytes.
struct Cell {
    int tag;
    union {
        char* text;
        long long number;
    } u;
};
static_assert(sizeof(Cell) <= BRNW_LIS_ANY_SIZE, "argument cell too large");

Cell* cell(brnwLisAny_t* any) { return reinterpret_cast<Cell*>(any->cell); }

void clear_cell(brnwLisAny_t* any) {
    Cell* c = cell(any);
    if (c->tag == kString) std::free(c->u.text);
    c->tag = kUnset;
}

struct CatalogueEntry {
    int originator;
    int msgid;
    const char* text;  // %1..%9 are the arguments
};

// English texts of the disk service messages (originator 178) and of the
// registrars' failure reports (originator 261).
const CatalogueEntry kCatalogue[] = {
    {178, 1, "Disk service exception in %1: %2 (error domain %3, error code %4)"},
    {178, 2, "Illegal argument passed to %1: %2"},
    {178, 8, "%1 was not found"},
    {178, 18, "Required argument %1 is missing"},
    {178, 20, "Unable to build %1"},
    {178, 22, "%1 is not valid"},
    {178, 23, "%1 already exists"},
    {178, 24, "%1 is not in a state that allows this operation"},
    {178, 25, "%1 is not configured"},
    {178, 26, "%1 is busy; try again later"},
    {178, 27, "%1 is in use"},
    {261, 100, "Unable to register value factory %1"},
};

const char* find_text(int originator, int msgid) {
    for (const CatalogueEntry& e : kCatalogue)
        if (e.originator == originator && e.msgid == msgid) return e.text;
    return nullptr;
}

// Only English catalogues exist: "C", "POSIX" and every "en" locale.
bool have_locale(const char* locale) {
    if (!locale || !*locale) {
        locale = std::setlocale(LC_MESSAGES, nullptr);
        if (!locale) return true;
    }
    return std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0 ||
           std::strncmp(locale, "C.", 2) == 0 || std::strncmp(locale, "en", 2) == 0;
}

std::string arg_text(const brnwLis_t* list, int i) {
    char buf[64];
    int n = brnwLisArgText(list, i, buf, sizeof buf);
    if (n < static_cast<int>(sizeof buf)) return buf;
    std::string big(static_cast<size_t>(n) + 1, '\0');
    brnwLisArgText(list, i, &big[0], big.size());
    big.resize(static_cast<size_t>(n));
    return big;
}

std::string expand(const char* pattern, const brnwLis_t* args) {
    std::string out;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] >= '1' && p[1] <= '9') {
            int index = p[1] - '1';
            if (index < brnwLisCount(args)) out += arg_text(args, index);
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

}  // namespace

struct brnwLis {
    int count;
    int capacity;
    brnwLisAny_t** items;
};

struct brnwLog {
    int id;
};

struct brnwLogMsg {
    brnwLog_t* log;
    int attr;
    int msgid;
    brnwLis_t* args;
    std::string text;
};

namespace kdhost {
brnwLog_t* new_log_handle(int id) { return new brnwLog_t{id}; }
void free_log_handle(brnwLog_t* log) { delete log; }
}  // namespace kdhost

extern "C" {

int brnwLisAny_string(brnwLisAny_t* any, const char* value) {
    if (!any) return -7;
    char* copy = strdup(value ? value : "");
    if (!copy) return -3;
    clear_cell(any);
    cell(any)->tag = kString;
    cell(any)->u.text = copy;
    return 0;
}

int brnwLisAny_int(brnwLisAny_t* any, int value) {
    if (!any) return -7;
    clear_cell(any);
    cell(any)->tag = kInt;
    cell(any)->u.number = value;
    return 0;
}

int brnwLisAny_longlong(brnwLisAny_t* any, long long value) {
    if (!any) return -7;
    clear_cell(any);
    cell(any)->tag = kLongLong;
    cell(any)->u.number = value;
    return 0;
}

int brnwLisAddArg(brnwLis_t** list, brnwLisAny_t* any) {
    auto discard = [any]() {
        if (any) {
            clear_cell(any);
            std::free(any);
        }
    };
    if (!list || !any) {
        discard();
        return -7;
    }
    if (!*list) {
        *list = static_cast<brnwLis_t*>(std::calloc(1, sizeof(brnwLis_t)));
        if (!*list) {
            discard();
            return -3;
        }
    }
    brnwLis_t* l = *list;
    if (l->count == l->capacity) {
        int capacity = l->capacity ? l->capacity * 2 : 4;
        void* grown = std::realloc(l->items, sizeof(brnwLisAny_t*) * static_cast<size_t>(capacity));
        if (!grown) {
            discard();
            return -3;
        }
        l->items = static_cast<brnwLisAny_t**>(grown);
        l->capacity = capacity;
    }
    l->items[l->count++] = any;
    return 0;
}

void brnwLisFree(brnwLis_t* list) {
    if (!list) return;
    for (int i = 0; i < list->count; ++i) {
        clear_cell(list->items[i]);
        std::free(list->items[i]);
    }
    std::free(list->items);
    std::free(list);
}

int brnwLisCount(const brnwLis_t* list) { return list ? list->count : 0; }

int brnwLisArgText(const brnwLis_t* list, int i, char* buf, size_t size) {
    if (!list || i < 0 || i >= list->count) {
        if (buf && size) buf[0] = '\0';
        return 0;
    }
    const Cell* c = cell(list->items[i]);
    switch (c->tag) {
    case kString: return static_cast<int>(V_strlcpy(buf, c->u.text, size));
    case kInt:
    case kLongLong: return V_snprintf(buf, size, "%lld", c->u.number);
    default:
        if (buf && size) buf[0] = '\0';
        return 0;
    }
}

int xlatemsg(int msgid, const brnwLis_t* args, int originator, char* out, size_t size,
             const char* locale) {
    if (!out || size == 0) return -1;
    const char* pattern = find_text(originator, msgid);
    if (!pattern || !have_locale(locale)) {
        out[0] = '\0';
        return 1;
    }
    V_strlcpy(out, expand(pattern, args).c_str(), size);
    return 0;
}

int brnwLogInitMsg(brnwLogMsg_t** msg, brnwLog_t* log, int attr, int) {
    if (!msg || !log) return -7;
    *msg = new (std::nothrow) brnwLogMsg_t{log, attr, 0, nullptr, std::string()};
    return *msg ? 0 : -3;
}

int brnwLogSetAppAttr(brnwLogMsg_t* msg, int msgid, brnwLis_t* args) {
    if (!msg) {
        brnwLisFree(args);
        return -7;
    }
    if (msg->args != args) brnwLisFree(msg->args);
    msg->msgid = msgid;
    msg->args = args;
    return 0;
}

int brnwLogMsg(brnwLog_t* log, int, brnwLogMsg_t* msg) {
    if (!log || !msg) return -7;
    char text[2048];
    if (xlatemsg(msg->msgid, msg->args, log->id, text, sizeof text, "C") != 0) {
        std::string plain = "message " + std::to_string(msg->msgid);
        for (int i = 0; i < brnwLisCount(msg->args); ++i) plain += " " + arg_text(msg->args, i);
        V_strlcpy(text, plain.c_str(), sizeof text);
    }
    msg->text = text;
    char function[32];
    V_snprintf(function, sizeof function, "originator %d", log->id);
    kdhost::emit("app", msg->attr, function, text);
    return 0;
}

void brnwLogFreeMsg(brnwLogMsg_t* msg) {
    if (!msg) return;
    brnwLisFree(msg->args);
    delete msg;
}

const char* brnwLogMsgText(const brnwLogMsg_t* msg) { return msg ? msg->text.c_str() : ""; }

}  // extern "C"
