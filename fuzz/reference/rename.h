// Forced into every file of the reference reader (-include): its external names
// get a "Ref" prefix, so that it links beside the real library.
#ifndef ORVEX_FUZZ_REFERENCE_RENAME_H
#define ORVEX_FUZZ_REFERENCE_RENAME_H

#define Tag_Monitor_Entry RefTag_Monitor_Entry
#define Tag_Resolution_Entry RefTag_Resolution_Entry
#define Tag_Timing_Info RefTag_Timing_Info
#define res_dat_err_flag ref_res_dat_err_flag
#define AddMonitorEntry RefAddMonitorEntry
#define AddResolutionEntry RefAddResolutionEntry
#define AddTimingInfo RefAddTimingInfo
#define FindMonitorEntry RefFindMonitorEntry
#define FindResolutionEntry RefFindResolutionEntry
#define FindTimingInfo RefFindTimingInfo
#define GetRefreshFromResIDString RefGetRefreshFromResIDString
#define StripRes RefStripRes
#define StripTiming RefStripTiming
#define LinkResEntryToTimingInfo RefLinkResEntryToTimingInfo
#define ReformatTimingInfoResIDStrings RefReformatTimingInfoResIDStrings
#define FreeMonitorEntryList RefFreeMonitorEntryList
#define FreeResolutionEntryList RefFreeResolutionEntryList
#define FreeTimingInfoList RefFreeTimingInfoList
#define ReadDatFile RefReadDatFile
#define GetMonitorEntryHead RefGetMonitorEntryHead
#define GetTimingInfoHead RefGetTimingInfoHead
#define GetMemSize RefGetMemSize
#define GetMemConfig RefGetMemConfig
#define GetBusType RefGetBusType
#define GetMemAddr RefGetMemAddr
#define GetDefaultRes RefGetDefaultRes
#define SetMemSize RefSetMemSize
#define SetBusType RefSetBusType
#define SetMemAddr RefSetMemAddr
#define SetDefaultRes RefSetDefaultRes
#define ResDatReset RefResDatReset
#define GetResDatErrLine RefGetResDatErrLine
#define GetResDatErrDetail RefGetResDatErrDetail
#define EnumMonitorNames RefEnumMonitorNames
#define EnumResNames RefEnumResNames
#define EnumTimingBlocks RefEnumTimingBlocks
#define MarkMon RefMarkMon
#define MarkRes RefMarkRes
#define ClearFFMarks RefClearFFMarks
#define GetMarkedMonEntry RefGetMarkedMonEntry
#define WriteResDatFile RefWriteResDatFile
#define WriteResIniFile RefWriteResIniFile
#define FoldAscii RefFoldAscii
#define TextEqualNoCase RefTextEqualNoCase
#define PrefixEqualNoCase RefPrefixEqualNoCase
#define CopyTextN RefCopyTextN
#define CopyText RefCopyText
#define ResetEnumCursors RefResetEnumCursors

#endif
