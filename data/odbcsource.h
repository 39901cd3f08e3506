#pragma once
// ODBC data sources through the driver manager's wide functions.

#include "data/connstring.h"
#include "data/dataconnection.h"

#include <memory>

// Throws CBarcodeDBException with the driver manager's or the driver's messages.
std::unique_ptr<CDataConnection> OpenOdbcSource(const CConnectionString& connection);
