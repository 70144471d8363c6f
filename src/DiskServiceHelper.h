// Property lists, server type names and the framework exceptions of the
// disk service: the helpers every unit of the library shares.
#ifndef DSMLIB_DISKSERVICEHELPER_H
#define DSMLIB_DISKSERVICEHELPER_H

#include "DiskService.hh"

#include <cstdint>
#include <string>

class DiskServiceHelper {
public:
    typedef Orvane::Keldra::DL::DiskService::PropertySeq PropertySeq;
    typedef Orvane::Keldra::DL::DiskService::Property Property;
    typedef Orvane::Keldra::TL::Framework::ServiceException ServiceException;
    typedef Orvane::Keldra::TL::Framework::IllegalArgumentException IllegalArgumentException;

    // ---- properties (lookups take the first entry of a name) ----

    // A copy of the first value named 'name' (release with
    // CORBA::string_free), or null. Entries that are null or lack a name or
    // value are skipped. A null name raises IllegalArgumentException.
    static char* getPropertyByName(const PropertySeq& list, const char* name);
    // Appends name=value at the end.
    static void addProperty(PropertySeq& list, const char* name, const char* value);
    // A new property (the caller owns the reference).
    static Property* buildProperty(const char* name, const char* value);
    // Sets the first entry named 'name'; appends when there is none and 'add'.
    static void updateProperty(PropertySeq& list, const char* name, const char* value, bool add);

    // ---- server types ----
    static int identifyStuSubtype(const char* servertype);
    static const char* identifyStuServerType(int subtype);
    static bool isKnownServerType(const char* servertype);

    // ---- exceptions ----

    // The message number of a disk service status, or -1.
    static int mapError2Message(int domain, int status);
    // Raise ServiceException / IllegalArgumentException with details naming
    // the raising class, method and line; msgnum -1 attaches no message.
    [[noreturn]] static void throwSvcException(int domain, int status, const char* errorText,
                                               const char* className, const char* method,
                                               int line, int msgnum, const char* insert);
    [[noreturn]] static void throwIllArgException(const char* argument, const char* className,
                                                  const char* method, int line, int msgnum,
                                                  const char* insert);
    // "ServiceException" or "IllegalArgumentException", followed by the
    // details' origin (and for the service, domain, code and text).
    static std::string exceptionDetailText(const ServiceException& e);
    static std::string exceptionDetailText(const IllegalArgumentException& e);
    // The details' message translated into 'locale', or a text saying why it
    // could not be translated.
    static std::string localizedMessage(const ServiceException& e, const char* locale);
    static std::string localizedMessage(const IllegalArgumentException& e, const char* locale);

    // ---- numbers as the service writes them (base-10 text, classic
    // locale; null or unreadable text gives 0) ----
    static std::uint64_t toUInt64(const char* text);
    static std::int64_t toInt64(const char* text);
    static CORBA::Long toLong(const char* text);
    static int toInt(const char* text);
    // The C library's atoi() rule without its undefined overflow: values
    // beyond int are clamped.
    static int toAtoi(const char* text);
    // Base-10 text of a number, classic locale.
    static std::string toText(std::int64_t value);
    static std::string toTextUnsigned(std::uint64_t value);
};

#endif
