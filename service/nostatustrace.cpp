// The shipped program reports its status to the service control manager only.
#include "ntservice.h"

void traceStatusReport(const SERVICE_STATUS&) {}
