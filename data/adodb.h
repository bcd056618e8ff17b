#pragma once
// The data access objects the program drives: a connection and a recordset.
#include "connection.h"
#include "recordset.h"
