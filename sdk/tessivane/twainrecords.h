/*
 * The TWAIN standard's records as its Linux header lays them out: every
 * record packed on 2-byte boundaries, so that a TW_UINT32 or a pointer after
 * a TW_UINT16 starts at offset 2 (TW_ONEVALUE.Item), not 4, and
 * TW_CAPABILITY.hContainer lies at offset 4. Included by twain.h after the
 * basic types. Fields of more than two bytes may therefore be misaligned:
 * read them by value (in C++, TW_UINT32{record.Field} where a reference would
 * be taken, as std::map::find or a test macro does), never through a pointer
 * or reference to the field.
 */
#ifndef TESSIVANE_TWAINRECORDS_H
#define TESSIVANE_TWAINRECORDS_H

#pragma pack(push, tessivane_twain)
#pragma pack(2)

typedef struct {
  TW_INT16 Whole;
  TW_UINT16 Frac;
} TW_FIX32, *pTW_FIX32;

typedef struct {
  TW_FIX32 Left;
  TW_FIX32 Top;
  TW_FIX32 Right;
  TW_FIX32 Bottom;
} TW_FRAME, *pTW_FRAME;

typedef struct {
  TW_FIX32 StartIn;
  TW_FIX32 BreakIn;
  TW_FIX32 EndIn;
  TW_FIX32 StartOut;
  TW_FIX32 BreakOut;
  TW_FIX32 EndOut;
  TW_FIX32 Gamma;
  TW_FIX32 SampleCount;
} TW_DECODEFUNCTION, *pTW_DECODEFUNCTION;

typedef struct {
  TW_DECODEFUNCTION Decode[3];
  TW_FIX32 Mix[3][3];
} TW_TRANSFORMSTAGE, *pTW_TRANSFORMSTAGE;

typedef struct {
  TW_UINT16 ItemType;
  TW_UINT32 NumItems;
  TW_UINT8 ItemList[1];
} TW_ARRAY, *pTW_ARRAY;

typedef struct {
  TW_STR255 Name;
  TW_UINT32 Reserved;
} TW_AUDIOINFO, *pTW_AUDIOINFO;

typedef struct {
  TW_MEMREF CallBackProc;
  TW_UINT32 RefCon;
  TW_INT16 Message;
} TW_CALLBACK, *pTW_CALLBACK;

typedef struct {
  TW_MEMREF CallBackProc;
  TW_UINTPTR RefCon;
  TW_INT16 Message;
} TW_CALLBACK2, *pTW_CALLBACK2;

typedef struct {
  TW_UINT16 Cap;
  TW_UINT16 ConType;
  TW_HANDLE hContainer;
} TW_CAPABILITY, *pTW_CAPABILITY;

typedef struct {
  TW_FIX32 X;
  TW_FIX32 Y;
  TW_FIX32 Z;
} TW_CIEPOINT, *pTW_CIEPOINT;

typedef struct {
  TW_UINT16 ColorSpace;
  TW_INT16 LowEndian;
  TW_INT16 DeviceDependent;
  TW_INT32 VersionNumber;
  TW_TRANSFORMSTAGE StageABC;
  TW_TRANSFORMSTAGE StageLMN;
  TW_CIEPOINT WhitePoint;
  TW_CIEPOINT BlackPoint;
  TW_CIEPOINT WhitePaper;
  TW_CIEPOINT BlackInk;
  TW_FIX32 Samples[1];
} TW_CIECOLOR, *pTW_CIECOLOR;

typedef struct {
  TW_UINT32 InfoLength;
  TW_HANDLE hData;
} TW_CUSTOMDSDATA, *pTW_CUSTOMDSDATA;

typedef struct {
  TW_UINT32 Event;
  TW_STR255 DeviceName;
  TW_UINT32 BatteryMinutes;
  TW_INT16 BatteryPercentage;
  TW_INT32 PowerSupply;
  TW_FIX32 XResolution;
  TW_FIX32 YResolution;
  TW_UINT32 FlashUsed2;
  TW_UINT32 AutomaticCapture;
  TW_UINT32 TimeBeforeFirstCapture;
  TW_UINT32 TimeBetweenCaptures;
} TW_DEVICEEVENT, *pTW_DEVICEEVENT;

typedef struct {
  TW_UINT8 Index;
  TW_UINT8 Channel1;
  TW_UINT8 Channel2;
  TW_UINT8 Channel3;
} TW_ELEMENT8, *pTW_ELEMENT8;

typedef struct {
  TW_UINT16 ItemType;
  TW_UINT32 NumItems;
  TW_UINT32 CurrentIndex;
  TW_UINT32 DefaultIndex;
  TW_UINT8 ItemList[1];
} TW_ENUMERATION, *pTW_ENUMERATION;

typedef struct {
  TW_MEMREF pEvent;
  TW_UINT16 TWMessage;
} TW_EVENT, *pTW_EVENT;

typedef struct {
  TW_UINT16 InfoID;
  TW_UINT16 ItemType;
  TW_UINT16 NumItems;
  union {
    TW_UINT16 ReturnCode;
    TW_UINT16 CondCode;
  };
  TW_UINTPTR Item;
} TW_INFO, *pTW_INFO;

typedef struct {
  TW_UINT32 NumInfos;
  TW_INFO Info[1];
} TW_EXTIMAGEINFO, *pTW_EXTIMAGEINFO;

typedef struct {
  TW_STR255 InputName;
  TW_STR255 OutputName;
  TW_MEMREF Context;
  union {
    int Recursive;
    TW_BOOL Subdirectories;
  };
  union {
    TW_INT32 FileType;
    TW_UINT32 FileSystemType;
  };
  TW_UINT32 Size;
  TW_STR32 CreateTimeDate;
  TW_STR32 ModifiedTimeDate;
  TW_UINT32 FreeSpace;
  TW_INT32 NewImageSize;
  TW_UINT32 NumberOfFiles;
  TW_UINT32 NumberOfSnippets;
  TW_UINT32 DeviceGroupMask;
  TW_INT8 Reserved[508];
} TW_FILESYSTEM, *pTW_FILESYSTEM;

typedef struct {
  TW_ELEMENT8 Response[1];
} TW_GRAYRESPONSE, *pTW_GRAYRESPONSE;

typedef struct {
  TW_UINT16 MajorNum;
  TW_UINT16 MinorNum;
  TW_UINT16 Language;
  TW_UINT16 Country;
  TW_STR32 Info;
} TW_VERSION, *pTW_VERSION;

typedef struct {
  TW_UINT32 Id;
  TW_VERSION Version;
  TW_UINT16 ProtocolMajor;
  TW_UINT16 ProtocolMinor;
  TW_UINT32 SupportedGroups;
  TW_STR32 Manufacturer;
  TW_STR32 ProductFamily;
  TW_STR32 ProductName;
} TW_IDENTITY, *pTW_IDENTITY;

typedef struct {
  TW_FIX32 XResolution;
  TW_FIX32 YResolution;
  TW_INT32 ImageWidth;
  TW_INT32 ImageLength;
  TW_INT16 SamplesPerPixel;
  TW_INT16 BitsPerSample[8];
  TW_INT16 BitsPerPixel;
  TW_BOOL Planar;
  TW_INT16 PixelType;
  TW_UINT16 Compression;
} TW_IMAGEINFO, *pTW_IMAGEINFO;

typedef struct {
  TW_FRAME Frame;
  TW_UINT32 DocumentNumber;
  TW_UINT32 PageNumber;
  TW_UINT32 FrameNumber;
} TW_IMAGELAYOUT, *pTW_IMAGELAYOUT;

typedef struct {
  TW_UINT32 Flags;
  TW_UINT32 Length;
  TW_MEMREF TheMem;
} TW_MEMORY, *pTW_MEMORY;

typedef struct {
  TW_UINT16 Compression;
  TW_UINT32 BytesPerRow;
  TW_UINT32 Columns;
  TW_UINT32 Rows;
  TW_UINT32 XOffset;
  TW_UINT32 YOffset;
  TW_UINT32 BytesWritten;
  TW_MEMORY Memory;
} TW_IMAGEMEMXFER, *pTW_IMAGEMEMXFER;

typedef struct {
  TW_UINT16 ColorSpace;
  TW_UINT32 SubSampling;
  TW_UINT16 NumComponents;
  TW_UINT16 RestartFrequency;
  TW_UINT16 QuantMap[4];
  TW_MEMORY QuantTable[4];
  TW_UINT16 HuffmanMap[4];
  TW_MEMORY HuffmanDC[2];
  TW_MEMORY HuffmanAC[2];
} TW_JPEGCOMPRESSION, *pTW_JPEGCOMPRESSION;

typedef struct {
  TW_UINT32 SizeOf;
  TW_UINT32 ImageCount;
  TW_UINT32 SheetCount;
} TW_METRICS, *pTW_METRICS;

typedef struct {
  TW_UINT16 ItemType;
  TW_UINT32 Item;
} TW_ONEVALUE, *pTW_ONEVALUE;

typedef struct {
  TW_UINT16 NumColors;
  TW_UINT16 PaletteType;
  TW_ELEMENT8 Colors[256];
} TW_PALETTE8, *pTW_PALETTE8;

typedef struct {
  TW_MEMREF pCommand;
  TW_UINT32 CommandBytes;
  TW_INT32 Direction;
  TW_MEMREF pData;
  TW_UINT32 DataBytes;
  TW_UINT32 DataBytesXfered;
} TW_PASSTHRU, *pTW_PASSTHRU;

typedef struct {
  TW_UINT16 Count;
  union {
    TW_UINT32 EOJ;
    TW_UINT32 Reserved;
  };
} TW_PENDINGXFERS, *pTW_PENDINGXFERS;

typedef struct {
  TW_UINT16 ItemType;
  TW_UINT32 MinValue;
  TW_UINT32 MaxValue;
  TW_UINT32 StepSize;
  TW_UINT32 DefaultValue;
  TW_UINT32 CurrentValue;
} TW_RANGE, *pTW_RANGE;

typedef struct {
  TW_ELEMENT8 Response[1];
} TW_RGBRESPONSE, *pTW_RGBRESPONSE;

typedef struct {
  TW_STR255 FileName;
  TW_UINT16 Format;
  TW_INT16 VRefNum;
} TW_SETUPFILEXFER, *pTW_SETUPFILEXFER;

typedef struct {
  TW_UINT32 MinBufSize;
  TW_UINT32 MaxBufSize;
  TW_UINT32 Preferred;
} TW_SETUPMEMXFER, *pTW_SETUPMEMXFER;

typedef struct {
  TW_UINT16 ConditionCode;
  union {
    TW_UINT16 Data;
    TW_UINT16 Reserved;
  };
} TW_STATUS, *pTW_STATUS;

typedef struct {
  TW_STATUS Status;
  TW_UINT32 Size;
  TW_HANDLE UTF8string;
} TW_STATUSUTF8, *pTW_STATUSUTF8;

typedef struct {
  TW_UINT32 SizeOf;
  TW_UINT16 CommunicationManager;
  TW_HANDLE Send;
  TW_UINT32 SendSize;
  TW_HANDLE Receive;
  TW_UINT32 ReceiveSize;
} TW_TWAINDIRECT, *pTW_TWAINDIRECT;

typedef struct {
  TW_BOOL ShowUI;
  TW_BOOL ModalUI;
  TW_HANDLE hParent;
} TW_USERINTERFACE, *pTW_USERINTERFACE;

typedef struct {
  TW_MEMREF FileName;
  TW_UINT16 FileNameType;
  TW_UINT16 Format;
  TW_INT16 VRefNum;
  TW_UINT32 parID;
} TW_SETUPFILEXFER2, *pTW_SETUPFILEXFER2;

typedef struct {
  TW_IDENTITY identity;
  TW_STR255 dsPath;
} TW_TWUNKIDENTITY, *pTW_TWUNKIDENTITY;

typedef struct {
  TW_INT8 destFlag;
  TW_IDENTITY dest;
  TW_INT32 dataGroup;
  TW_INT16 dataArgType;
  TW_INT16 message;
  TW_INT32 pDataSize;
} TW_TWUNKDSENTRYPARAMS, *pTW_TWUNKDSENTRYPARAMS;

typedef struct {
  TW_UINT16 returnCode;
  TW_UINT16 conditionCode;
  TW_INT32 pDataSize;
} TW_TWUNKDSENTRYRETURN, *pTW_TWUNKDSENTRYRETURN;

typedef struct {
  TW_UINT16 Cap;
  TW_UINT16 Properties;
} TW_CAPEXT, *pTW_CAPEXT;

typedef struct {
  TW_STR255 FileName;
  TW_UINT16 Format;
  TW_INT16 VRefNum;
} TW_SETUPAUDIOFILEXFER, *pTW_SETUPAUDIOFILEXFER;

/* Entry points. */
typedef TW_UINT16 (*DSMENTRYPROC)(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest, TW_UINT32 DG,
                                  TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);
typedef TW_UINT16 (*DSENTRYPROC)(pTW_IDENTITY pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                                 TW_MEMREF pData);
typedef TW_UINT16 (*TWAINCALLBACKPROC)(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest, TW_UINT32 DG,
                                       TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);
typedef TW_HANDLE (*DSM_MEMALLOCATE)(TW_UINT32 size);
typedef void (*DSM_MEMFREE)(TW_HANDLE handle);
typedef TW_MEMREF (*DSM_MEMLOCK)(TW_HANDLE handle);
typedef void (*DSM_MEMUNLOCK)(TW_HANDLE handle);

typedef struct {
  TW_UINT32 Size;
  DSMENTRYPROC DSM_Entry;
  DSM_MEMALLOCATE DSM_MemAllocate;
  DSM_MEMFREE DSM_MemFree;
  DSM_MEMLOCK DSM_MemLock;
  DSM_MEMUNLOCK DSM_MemUnlock;
} TW_ENTRYPOINT, *pTW_ENTRYPOINT;

typedef struct {
  TW_UINT32 Size;
  TW_UINT32 HueStart;
  TW_UINT32 HueEnd;
  TW_UINT32 SaturationStart;
  TW_UINT32 SaturationEnd;
  TW_UINT32 ValueStart;
  TW_UINT32 ValueEnd;
  TW_UINT32 Replacement;
} TW_FILTER_DESCRIPTOR, *pTW_FILTER_DESCRIPTOR;

typedef struct {
  TW_UINT32 Size;
  TW_UINT32 DescriptorCount;
  TW_UINT32 MaxDescriptorCount;
  TW_UINT32 Condition;
  TW_HANDLE hDescriptors;
} TW_FILTER, *pTW_FILTER;

#pragma pack(pop, tessivane_twain)

#endif
