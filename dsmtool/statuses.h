// What the library's statuses mean, for people reading the tool's output.
#ifndef DSMTOOL_STATUSES_H
#define DSMTOOL_STATUSES_H

const char* status_meaning(int status);

#endif
