// The catalog of the library's procs for hosts, through plain-C exports found with dlsym:
// the classes with a registered property table (QMX_REGISTER_PROPERTIES), and each one's
// properties. Texts are owned by the library and valid until the next call on the thread.
#pragma once

extern "C" {

// "Class\n" per class, in name order; never null.
const char* qmx_s_proc_classes();

// "name\ttype\taccess\teffect\n" per property of `className` (allRows order; access "get",
// "set" or "get,set"); null for a class without a table or on failure.
const char* qmx_s_proc_properties(const char* className);
}
