#pragma once
#include <string>
#include "simulator/Record.h"

namespace VarquelSim {

// The methods of Win32_NetworkAdapterConfiguration, as Windows 10 and 11 run
// them on one configuration's record: the ReturnValue, with the record
// changed as the method changes the adapter. The caller has checked rights,
// IPEnabled and the required parameters; `annotations` holds the machine's
// settings.
long RunConfigurationMethod(Record::Json& configuration, const std::string& method, const Record::Parameters& in,
                            const Record::Json& annotations);

// Whether a ReturnValue changed the configuration: 0, and 81 from EnableStatic
// on an adapter that was static already.
bool ConfigurationChanged(long returnValue) noexcept;

} // namespace VarquelSim
