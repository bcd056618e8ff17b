#pragma once
// A connection of its own, for reading beside the one that writes.
#include "odbc.h"

#include <functional>
#include <memory>

struct Reader {
    std::shared_ptr<void> connection;
    std::function<odbc::Statement()> statement;
};
using OpenReader = std::function<Reader()>;
