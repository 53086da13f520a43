// Resource numbers of the module, shared by the resource script and the code.
#pragma once

#define IDS_PROJNAME 100

#define IDB_DELICIOUSSUBMIT 101
#define IDR_DELICIOUSSUBMIT 102
#define IDB_FURLSUBMIT 103
#define IDR_FURLSUBMIT 104
#define IDB_NETVOUZ 107
#define IDR_NETVOUZ 108
#define IDB_SHADOWS 109
#define IDR_SHADOWS 110
#define IDB_SPURL 111
#define IDR_SPURL 112
#define IDB_BLOGMARKS 113
#define IDR_BLOGMARKS 114
#define IDB_QUORLANESUBMIT 115
#define IDR_QUORLANESUBMIT 116
#define IDB_SIMPY 117
#define IDR_SIMPY 118
