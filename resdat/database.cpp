// The database's state: the two list heads and the header variables, with
// their accessors and setters. The reader fills them; everything else reads
// them through the accessors.
#include <stdlib.h>

#include <initializer_list>

#include "resdat/internal.h"
#include "resdat/resdat.h"

static Tag_Monitor_Entry *monitor_list = nullptr;
static Tag_Timing_Info *timing_list = nullptr;

static char *bus_type = nullptr;
static char *mem_addr = nullptr;
static char *default_res = nullptr;
static char *mem_size = nullptr;
static char *mem_config = nullptr;

char **HeaderVarSlot(HeaderVar var) {
    static char **const slots[] = {&bus_type, &mem_addr, &default_res, &mem_size, &mem_config};
    return slots[var];
}

Tag_Monitor_Entry **MonitorListSlot(void) {
    return &monitor_list;
}
Tag_Timing_Info **TimingListSlot(void) {
    return &timing_list;
}

Tag_Monitor_Entry *GetMonitorEntryHead(void) {
    return monitor_list;
}
Tag_Timing_Info *GetTimingInfoHead(void) {
    return timing_list;
}

char *GetMemSize(void) {
    return mem_size;
}
char *GetMemConfig(void) {
    return mem_config;
}
char *GetBusType(void) {
    return bus_type;
}
char *GetMemAddr(void) {
    return mem_addr;
}
char *GetDefaultRes(void) {
    return default_res;
}

static BOOLEAN SetHeaderText(char **variable, const char *text) {
    if (text == nullptr) {
        res_dat_err_flag = RES_DAT_ERR_CONTENT;
        return FALSE;
    }
    free(*variable);
    *variable = CopyText(text);
    if (*variable == nullptr) {
        res_dat_err_flag = RES_DAT_ERR_OUT_OF_MEMORY;
        return FALSE;
    }
    return TRUE;
}

BOOLEAN SetMemSize(const char *new_mem_size) {
    return SetHeaderText(&mem_size, new_mem_size);
}
BOOLEAN SetBusType(const char *new_bus_type) {
    return SetHeaderText(&bus_type, new_bus_type);
}
BOOLEAN SetMemAddr(const char *new_mem_addr) {
    return SetHeaderText(&mem_addr, new_mem_addr);
}
BOOLEAN SetDefaultRes(const char *new_default_res) {
    return SetHeaderText(&default_res, new_default_res);
}

void ResDatReset(void) {
    FreeMonitorEntryList(monitor_list);
    FreeTimingInfoList(timing_list);
    monitor_list = nullptr;
    timing_list = nullptr;
    for (char **text : {&bus_type, &mem_addr, &default_res, &mem_size, &mem_config}) {
        free(*text);
        *text = nullptr;
    }
    ResetEnumCursors();
    ForgetHeaderData();
    res_dat_err_flag = RES_DAT_ERR_NONE;
    ClearFinding();
}
