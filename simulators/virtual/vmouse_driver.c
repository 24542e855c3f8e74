/* The virtual mouse: a HID minidriver whose configuration collection answers feature report 5
 * with the shared firmware model, so the release configurator meets the same firmware at the
 * operating-system level that its tests meet in-process. Report 6 is the control tool's.
 *
 * Requests reach a Wine driver on one thread; hidclass's reader waits in its own thread on the
 * one read request this device keeps pending until removal (the collection has no input
 * report, so nothing ever completes it earlier). */
#include <ntifs.h>

#include "firmware_model.h"
#include "vmouse_protocol.h"

/* hidport.h is not part of mingw-w64, and its hidclass.h has placeholder minidriver codes. */
#define HID_MINI_CTL(id) CTL_CODE(FILE_DEVICE_KEYBOARD, (id), METHOD_NEITHER, FILE_ANY_ACCESS)
#define MINI_GET_DEVICE_DESCRIPTOR HID_MINI_CTL(0)
#define MINI_GET_REPORT_DESCRIPTOR HID_MINI_CTL(1)
#define MINI_READ_REPORT HID_MINI_CTL(2)
#define MINI_WRITE_REPORT HID_MINI_CTL(3)
#define MINI_GET_STRING HID_MINI_CTL(4)
#define MINI_ACTIVATE_DEVICE HID_MINI_CTL(7)
#define MINI_DEACTIVATE_DEVICE HID_MINI_CTL(8)
#define MINI_GET_DEVICE_ATTRIBUTES HID_MINI_CTL(9)
#define MINI_GET_FEATURE CTL_CODE(FILE_DEVICE_KEYBOARD, 100, METHOD_OUT_DIRECT, FILE_ANY_ACCESS)
#define MINI_SET_FEATURE CTL_CODE(FILE_DEVICE_KEYBOARD, 100, METHOD_IN_DIRECT, FILE_ANY_ACCESS)
#define MINI_GET_INPUT_REPORT                                                                      \
    CTL_CODE(FILE_DEVICE_KEYBOARD, 104, METHOD_OUT_DIRECT, FILE_ANY_ACCESS)
#define MINI_SET_OUTPUT_REPORT                                                                     \
    CTL_CODE(FILE_DEVICE_KEYBOARD, 101, METHOD_IN_DIRECT, FILE_ANY_ACCESS)

typedef struct {
    ULONG Revision;
    PDRIVER_OBJECT DriverObject;
    PUNICODE_STRING RegistryPath;
    ULONG DeviceExtensionSize;
    BOOLEAN DevicesArePolled;
    UCHAR Reserved[3];
} MiniRegistration;

typedef struct {
    PDEVICE_OBJECT PhysicalDeviceObject;
    PDEVICE_OBJECT NextDeviceObject;
    PVOID MiniDeviceExtension;
} HidClassExtension;

#pragma pack(push, 1)
typedef struct {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdHID;
    UCHAR bCountry;
    UCHAR bNumDescriptors;
    UCHAR bReportType;
    USHORT wReportLength;
} HidDescriptor;
#pragma pack(pop)

typedef struct {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
    USHORT Reserved[11];
} HidAttributes;

typedef struct {
    PUCHAR reportBuffer;
    ULONG reportBufferLen;
    UCHAR reportId;
} HidXferPacket;

NTSTATUS NTAPI HidRegisterMinidriver(MiniRegistration* registration);

/* One vendor collection: feature 5 (7 data bytes) and the control feature 6 (71 bytes). */
static const UCHAR kReportDescriptor[] = {
    0x06, 0x00,
    0xFF,       /* usage page (vendor 0xFF00) */
    0x09, 0x01, /* usage 1 */
    0xA1, 0x01, /* collection (application) */
    0x85, 0x05, /*   report id 5 */
    0x09, 0x02, /*   usage 2 */
    0x15, 0x00, /*   logical minimum 0 */
    0x26, 0xFF,
    0x00,                                 /*   logical maximum 255 */
    0x75, 0x08,                           /*   report size 8 */
    0x95, 0x07,                           /*   report count 7 */
    0xB1, 0x02,                           /*   feature (data, variable, absolute) */
    0x85, 0x06,                           /*   report id 6 */
    0x09, 0x03,                           /*   usage 3 */
    0x95, TARN_VMOUSE_CONTROL_LENGTH - 1, /* report count */
    0xB1, 0x02,                           /*   feature */
    0xC0,                                 /* end collection */
};

typedef struct {
    TarnFirmware fw;
    BOOLEAN removed;
    PIRP pendingRead;
    UCHAR dumpArea, dumpPage, statusNext;
    uint32_t featureSets, featureGets, persistFailures;
    int32_t cutAfter; /* reports 5 left before every one fails; -1 none */
} MouseDevice;

static WCHAR parametersPathBuffer[256];
static UNICODE_STRING parametersPath;

static void CopyBytes(uint8_t* to, const uint8_t* from, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i)
        to[i] = from[i];
}

static void PutU32(uint8_t* to, uint32_t value) {
    to[0] = (uint8_t)value;
    to[1] = (uint8_t)(value >> 8);
    to[2] = (uint8_t)(value >> 16);
    to[3] = (uint8_t)(value >> 24);
}

static HANDLE OpenParameters(void) {
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &parametersPath,
                               OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    HANDLE key = NULL;
    if (!NT_SUCCESS(
            ZwCreateKey(&key, KEY_ALL_ACCESS, &attributes, 0, NULL, REG_OPTION_NON_VOLATILE, NULL)))
        return NULL;
    return key;
}

/* A mouse fresh from the factory has zeroed memory and profile 0 active. */
static void LoadPersisted(MouseDevice* mouse) {
    static UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) +
                        (size_t)TARN_FW_AREA_COUNT * TARN_FW_AREA_LENGTH];
    HANDLE key = OpenParameters();
    if (!key)
        return;
    UNICODE_STRING name;
    ULONG length = 0;
    KEY_VALUE_PARTIAL_INFORMATION* info = (KEY_VALUE_PARTIAL_INFORMATION*)buffer;
    RtlInitUnicodeString(&name, TARN_VMOUSE_MEMORY_VALUE);
    if (NT_SUCCESS(ZwQueryValueKey(key, &name, KeyValuePartialInformation, buffer, sizeof(buffer),
                                   &length)) &&
        info->Type == REG_BINARY) {
        /* A short or overlong value fills what it covers; the rest stays zero. */
        uint32_t size = info->DataLength;
        if (size > TARN_FW_AREA_COUNT * TARN_FW_AREA_LENGTH)
            size = TARN_FW_AREA_COUNT * TARN_FW_AREA_LENGTH;
        CopyBytes(&mouse->fw.memory[0][0], info->Data, size);
    }
    RtlInitUnicodeString(&name, TARN_VMOUSE_ACTIVE_VALUE);
    if (NT_SUCCESS(ZwQueryValueKey(key, &name, KeyValuePartialInformation, buffer, sizeof(buffer),
                                   &length)) &&
        info->Type == REG_DWORD && info->DataLength == 4) {
        uint32_t active = (uint32_t)info->Data[0] | ((uint32_t)info->Data[1] << 8);
        tarn_fw_set_active(&mouse->fw, active <= TARN_FW_BASIC_STATE ? (int)active : 0);
    }
    ZwClose(key);
}

static void Persist(MouseDevice* mouse) {
    HANDLE key = OpenParameters();
    if (!key) {
        ++mouse->persistFailures;
        return;
    }
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, TARN_VMOUSE_MEMORY_VALUE);
    NTSTATUS status = ZwSetValueKey(key, &name, 0, REG_BINARY, &mouse->fw.memory[0][0],
                                    TARN_FW_AREA_COUNT * TARN_FW_AREA_LENGTH);
    ULONG active = mouse->fw.activeProfile;
    RtlInitUnicodeString(&name, TARN_VMOUSE_ACTIVE_VALUE);
    if (NT_SUCCESS(status))
        status = ZwSetValueKey(key, &name, 0, REG_DWORD, &active, sizeof(active));
    if (!NT_SUCCESS(status))
        ++mouse->persistFailures;
    ZwClose(key);
}

static NTSTATUS ControlSet(MouseDevice* mouse, const uint8_t* report, uint32_t length) {
    if (length < TARN_VMOUSE_CONTROL_LENGTH)
        return STATUS_INVALID_PARAMETER;
    uint8_t area = report[TARN_VMOUSE_CTL_AREA];
    uint8_t page = report[TARN_VMOUSE_CTL_PAGE];
    int32_t argument = (int32_t)((uint32_t)report[4] | ((uint32_t)report[5] << 8) |
                                 ((uint32_t)report[6] << 16) | ((uint32_t)report[7] << 24));
    switch (report[TARN_VMOUSE_CTL_COMMAND]) {
    case TARN_VMOUSE_LOAD_PAGE:
        if (area >= TARN_FW_AREA_COUNT || page >= TARN_FW_PAGE_COUNT)
            return STATUS_INVALID_PARAMETER;
        CopyBytes(&mouse->fw.memory[area][(size_t)page * TARN_FW_PAGE_LENGTH],
                  report + TARN_VMOUSE_CTL_DATA, TARN_FW_PAGE_LENGTH);
        Persist(mouse);
        return STATUS_SUCCESS;
    case TARN_VMOUSE_DUMP_PAGE:
        if (area >= TARN_FW_AREA_COUNT || page >= TARN_FW_PAGE_COUNT)
            return STATUS_INVALID_PARAMETER;
        mouse->dumpArea = area;
        mouse->dumpPage = page;
        mouse->statusNext = 0;
        return STATUS_SUCCESS;
    case TARN_VMOUSE_PRESS_SWITCH:
        if (!tarn_fw_switch_profile(&mouse->fw, argument))
            return STATUS_INVALID_PARAMETER;
        Persist(mouse);
        return STATUS_SUCCESS;
    case TARN_VMOUSE_QUERY_ANSWER:
        if (argument < -1 || argument > 255)
            return STATUS_INVALID_PARAMETER;
        mouse->fw.queryAnswer = (int16_t)argument;
        return STATUS_SUCCESS;
    case TARN_VMOUSE_REJECT_PAGES:
        for (uint32_t a = 0; a < TARN_FW_AREA_COUNT; ++a)
            if (area == 0xFF || area == a)
                mouse->fw.rejectPages[a] = (uint8_t)argument;
        return STATUS_SUCCESS;
    case TARN_VMOUSE_SET_ACTIVE:
        if (!tarn_fw_set_active(&mouse->fw, argument))
            return STATUS_INVALID_PARAMETER;
        Persist(mouse);
        return STATUS_SUCCESS;
    case TARN_VMOUSE_CLEAR_FAULTS:
        tarn_fw_clear_faults(&mouse->fw);
        mouse->fw.pagesRead = mouse->fw.pagesWritten = mouse->fw.rejectedReports = 0;
        mouse->fw.pacingViolations = 0;
        /* A test starts afresh: no earlier tail holds back its first page command. */
        mouse->fw.tailSeen = 0;
        mouse->featureSets = mouse->featureGets = mouse->persistFailures = 0;
        mouse->cutAfter = -1;
        return STATUS_SUCCESS;
    case TARN_VMOUSE_RELOAD: {
        /* Keep the fault hooks across a reload: only the stored content changes. */
        uint8_t rejectPages[TARN_FW_AREA_COUNT];
        int16_t queryAnswer = mouse->fw.queryAnswer;
        CopyBytes(rejectPages, mouse->fw.rejectPages, sizeof(rejectPages));
        tarn_fw_init(&mouse->fw);
        LoadPersisted(mouse);
        CopyBytes(mouse->fw.rejectPages, rejectPages, sizeof(rejectPages));
        mouse->fw.queryAnswer = queryAnswer;
        return STATUS_SUCCESS;
    }
    case TARN_VMOUSE_STATUS:
        mouse->statusNext = 1;
        return STATUS_SUCCESS;
    case TARN_VMOUSE_CUT_AFTER:
        if (argument < -1)
            return STATUS_INVALID_PARAMETER;
        mouse->cutAfter = argument;
        return STATUS_SUCCESS;
    default:
        return STATUS_INVALID_PARAMETER;
    }
}

static NTSTATUS ControlGet(MouseDevice* mouse, uint8_t* report, uint32_t length) {
    if (length < TARN_VMOUSE_CONTROL_LENGTH)
        return STATUS_INVALID_PARAMETER;
    for (uint32_t i = 1; i < TARN_VMOUSE_CONTROL_LENGTH; ++i)
        report[i] = 0;
    report[0] = TARN_VMOUSE_CONTROL_REPORT_ID;
    uint8_t* data = report + TARN_VMOUSE_CTL_DATA;
    if (mouse->statusNext) {
        report[TARN_VMOUSE_CTL_COMMAND] = TARN_VMOUSE_STATUS;
        PutU32(data + TARN_VMOUSE_STATUS_ACTIVE, mouse->fw.activeProfile);
        PutU32(data + TARN_VMOUSE_STATUS_PAGES_READ, mouse->fw.pagesRead);
        PutU32(data + TARN_VMOUSE_STATUS_PAGES_WRITTEN, mouse->fw.pagesWritten);
        PutU32(data + TARN_VMOUSE_STATUS_REJECTED, mouse->fw.rejectedReports);
        PutU32(data + TARN_VMOUSE_STATUS_FEATURE_SETS, mouse->featureSets);
        PutU32(data + TARN_VMOUSE_STATUS_FEATURE_GETS, mouse->featureGets);
        PutU32(data + TARN_VMOUSE_STATUS_PERSIST_FAILURES, mouse->persistFailures);
        PutU32(data + TARN_VMOUSE_STATUS_CUT_REMAINING, (uint32_t)mouse->cutAfter);
        return STATUS_SUCCESS;
    }
    report[TARN_VMOUSE_CTL_COMMAND] = TARN_VMOUSE_DUMP_PAGE;
    report[TARN_VMOUSE_CTL_AREA] = mouse->dumpArea;
    report[TARN_VMOUSE_CTL_PAGE] = mouse->dumpPage;
    CopyBytes(data,
              &mouse->fw.memory[mouse->dumpArea][(size_t)mouse->dumpPage * TARN_FW_PAGE_LENGTH],
              TARN_FW_PAGE_LENGTH);
    return STATUS_SUCCESS;
}

/* The firmware's clock in microseconds, for its 50 ms rule between a page's tail and the next
 * page command. Never 0, which the model takes for "no time known". */
static uint64_t NowUs(void) {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter = KeQueryPerformanceCounter(&frequency);
    if (frequency.QuadPart <= 0)
        return 1;
    uint64_t ticks = (uint64_t)counter.QuadPart;
    uint64_t hz = (uint64_t)frequency.QuadPart;
    return (ticks / hz) * 1000000u + (ticks % hz) * 1000000u / hz + 1;
}

static NTSTATUS Feature(MouseDevice* mouse, uint32_t code, HidXferPacket* packet) {
    if (!packet || !packet->reportBuffer)
        return STATUS_INVALID_PARAMETER;
    uint8_t* report = packet->reportBuffer;
    uint32_t length = packet->reportBufferLen;
    if (length == 0 || report[0] != packet->reportId)
        return STATUS_INVALID_PARAMETER;
    if (packet->reportId == TARN_VMOUSE_CONTROL_REPORT_ID)
        return code == MINI_SET_FEATURE ? ControlSet(mouse, report, length)
                                        : ControlGet(mouse, report, length);
    if (mouse->cutAfter == 0)
        return STATUS_UNSUCCESSFUL; /* the host is gone: nothing reaches the firmware */
    if (mouse->cutAfter > 0)
        --mouse->cutAfter;
    if (code == MINI_SET_FEATURE) {
        ++mouse->featureSets;
        uint32_t written = mouse->fw.pagesWritten;
        uint8_t active = mouse->fw.activeProfile;
        int ok = tarn_fw_set_feature(&mouse->fw, report, length, NowUs());
        if (mouse->fw.pagesWritten != written || mouse->fw.activeProfile != active)
            Persist(mouse);
        return ok ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL;
    }
    ++mouse->featureGets;
    return tarn_fw_get_feature(&mouse->fw, report, length, NowUs()) ? STATUS_SUCCESS
                                                                    : STATUS_UNSUCCESSFUL;
}

static NTSTATUS Finish(PIRP irp, NTSTATUS status) {
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static void FailPendingRead(MouseDevice* mouse) {
    PIRP read = mouse->pendingRead;
    mouse->pendingRead = NULL;
    if (read) {
        read->IoStatus.Information = 0;
        Finish(read, STATUS_DELETE_PENDING);
    }
}

static NTSTATUS DispatchInternal(PDEVICE_OBJECT device, PIRP irp) {
    HidClassExtension* ext = (HidClassExtension*)device->DeviceExtension;
    MouseDevice* mouse = (MouseDevice*)ext->MiniDeviceExtension;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    uint32_t code = stack->Parameters.DeviceIoControl.IoControlCode;
    uint32_t outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    irp->IoStatus.Information = 0;
    if (mouse->removed)
        return Finish(irp, STATUS_DELETE_PENDING);

    switch (code) {
    case MINI_GET_DEVICE_DESCRIPTOR: {
        HidDescriptor* descriptor = (HidDescriptor*)irp->UserBuffer;
        if (!descriptor || outLength < sizeof(HidDescriptor))
            return Finish(irp, STATUS_BUFFER_TOO_SMALL);
        descriptor->bLength = sizeof(HidDescriptor);
        descriptor->bDescriptorType = 0x21;
        descriptor->bcdHID = 0x0111;
        descriptor->bCountry = 0;
        descriptor->bNumDescriptors = 1;
        descriptor->bReportType = 0x22;
        descriptor->wReportLength = sizeof(kReportDescriptor);
        irp->IoStatus.Information = sizeof(HidDescriptor);
        return Finish(irp, STATUS_SUCCESS);
    }
    case MINI_GET_REPORT_DESCRIPTOR:
        if (!irp->UserBuffer || outLength < sizeof(kReportDescriptor))
            return Finish(irp, STATUS_BUFFER_TOO_SMALL);
        CopyBytes((uint8_t*)irp->UserBuffer, kReportDescriptor, sizeof(kReportDescriptor));
        irp->IoStatus.Information = sizeof(kReportDescriptor);
        return Finish(irp, STATUS_SUCCESS);
    case MINI_GET_DEVICE_ATTRIBUTES: {
        HidAttributes* attributes = (HidAttributes*)irp->UserBuffer;
        if (!attributes || outLength < sizeof(HidAttributes))
            return Finish(irp, STATUS_BUFFER_TOO_SMALL);
        for (uint32_t i = 0; i < sizeof(HidAttributes); ++i)
            ((uint8_t*)attributes)[i] = 0;
        attributes->Size = sizeof(HidAttributes);
        attributes->VendorID = TARN_VMOUSE_VID;
        attributes->ProductID = TARN_VMOUSE_PID;
        attributes->VersionNumber = 0x0100;
        irp->IoStatus.Information = sizeof(HidAttributes);
        return Finish(irp, STATUS_SUCCESS);
    }
    case MINI_READ_REPORT:
        /* No input report: the read waits until the mouse goes away. */
        if (mouse->pendingRead)
            return Finish(irp, STATUS_DEVICE_BUSY);
        mouse->pendingRead = irp;
        IoMarkIrpPending(irp);
        return STATUS_PENDING;
    case MINI_GET_FEATURE:
    case MINI_SET_FEATURE: {
        HidXferPacket* packet = (HidXferPacket*)irp->UserBuffer;
        NTSTATUS status = Feature(mouse, code, packet);
        if (NT_SUCCESS(status))
            irp->IoStatus.Information = packet->reportBufferLen;
        return Finish(irp, status);
    }
    case MINI_GET_STRING:
    case MINI_ACTIVATE_DEVICE:
    case MINI_DEACTIVATE_DEVICE:
        return Finish(irp, code == MINI_GET_STRING ? STATUS_NOT_SUPPORTED : STATUS_SUCCESS);
    default:
        return Finish(irp, STATUS_NOT_SUPPORTED);
    }
}

static NTSTATUS DispatchPnp(PDEVICE_OBJECT device, PIRP irp) {
    HidClassExtension* ext = (HidClassExtension*)device->DeviceExtension;
    MouseDevice* mouse = (MouseDevice*)ext->MiniDeviceExtension;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    switch (stack->MinorFunction) {
    case IRP_MN_START_DEVICE:
        mouse->removed = FALSE;
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_REMOVE_DEVICE:
        /* hidclass's reader waits on the pending read; removal hangs until it ends. */
        mouse->removed = TRUE;
        FailPendingRead(mouse);
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_CANCEL_REMOVE_DEVICE:
        mouse->removed = FALSE;
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
        irp->IoStatus.Status = STATUS_SUCCESS;
        break;
    default:
        break;
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(ext->NextDeviceObject, irp);
}

static NTSTATUS DispatchPower(PDEVICE_OBJECT device, PIRP irp) {
    HidClassExtension* ext = (HidClassExtension*)device->DeviceExtension;
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(ext->NextDeviceObject, irp);
}

static NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT fdo) {
    (void)driver;
    HidClassExtension* ext = (HidClassExtension*)fdo->DeviceExtension;
    MouseDevice* mouse = (MouseDevice*)ext->MiniDeviceExtension;
    tarn_fw_init(&mouse->fw);
    mouse->removed = FALSE;
    mouse->pendingRead = NULL;
    mouse->dumpArea = mouse->dumpPage = mouse->statusNext = 0;
    mouse->featureSets = mouse->featureGets = mouse->persistFailures = 0;
    mouse->cutAfter = -1;
    LoadPersisted(mouse);
    fdo->Flags &= ~(ULONG)DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static void DriverUnload(PDRIVER_OBJECT driver) {
    (void)driver;
}

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    /* Keep "<service key>\Parameters" for the persisted memory. */
    static const WCHAR suffix[] = L"\\Parameters";
    const USHORT suffixLength = (USHORT)(sizeof(suffix) - sizeof(WCHAR));
    USHORT length = registryPath->Length;
    if ((size_t)length + suffixLength >= sizeof(parametersPathBuffer))
        return STATUS_NAME_TOO_LONG;
    CopyBytes((uint8_t*)parametersPathBuffer, (const uint8_t*)registryPath->Buffer, length);
    CopyBytes((uint8_t*)parametersPathBuffer + length, (const uint8_t*)suffix, suffixLength);
    parametersPath.Buffer = parametersPathBuffer;
    parametersPath.Length = (USHORT)(length + suffixLength);
    parametersPath.MaximumLength = sizeof(parametersPathBuffer);

    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = DispatchInternal;
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = DriverUnload;

    MiniRegistration registration;
    for (uint32_t i = 0; i < sizeof(registration); ++i)
        ((uint8_t*)&registration)[i] = 0;
    registration.Revision = 1;
    registration.DriverObject = driver;
    registration.RegistryPath = registryPath;
    registration.DeviceExtensionSize = sizeof(MouseDevice);
    registration.DevicesArePolled = FALSE;
    return HidRegisterMinidriver(&registration);
}
