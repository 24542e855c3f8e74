/* Stand-in for the mouse's three kernel filter drivers: one kernel driver that creates their
 * control devices and answers the agent's control codes with arm-then-signal on the caller's
 * event. Records come from the injection tool through private codes on the same devices.
 *
 * Requests on one device are handled one at a time (Wine runs every request of a driver on a
 * single thread), so the per-device state needs no lock there. */
#include <ntifs.h>

#include "filter_protocol.h"

/* mingw declares these object types with one dereference too many; the import slot holds the
 * address of ntoskrnl's POBJECT_TYPE variable. */
extern POBJECT_TYPE* __imp_ExEventObjectType;
extern POBJECT_TYPE* __imp_PsProcessType;

typedef struct FilterDevice {
    uint32_t index;
    uint32_t recordLength; /* event record (32) or HID event record (16) */
    uint32_t armCode, stopCode, getCode;
    PKEVENT armedEvent; /* referenced while armed */
    PFILE_OBJECT armedBy;
    uint8_t settings[TARN_SETTINGS_RECORD_LENGTH];
    uint8_t lastRecord[TARN_EVENT_RECORD_LENGTH];
    uint8_t queue[TARN_SIM_QUEUE_LENGTH][TARN_EVENT_RECORD_LENGTH];
    uint32_t queueHead, queueCount;
    uint32_t settingsCount, armed, arms, fetches, stops, dropped, signals, lastStopEnable,
        armFailures;
} FilterDevice;

static const WCHAR* const kDeviceNames[TARN_FILTER_DEVICE_COUNT] = {
    L"\\Device\\" TARN_HID_LOWER_FILTER_NAME, L"\\Device\\" TARN_PS2_UPPER_FILTER_NAME,
    L"\\Device\\" VELL_HID_UPPER_FILTER_NAME};
static const WCHAR* const kLinkNames[TARN_FILTER_DEVICE_COUNT] = {
    L"\\DosDevices\\" TARN_HID_LOWER_FILTER_NAME, L"\\DosDevices\\" TARN_PS2_UPPER_FILTER_NAME,
    L"\\DosDevices\\" VELL_HID_UPPER_FILTER_NAME};

static PDEVICE_OBJECT devices[TARN_FILTER_DEVICE_COUNT];

static void CopyBytes(uint8_t* to, const uint8_t* from, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i)
        to[i] = from[i];
}

static void ZeroBytes(uint8_t* to, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i)
        to[i] = 0;
}

static void PutU32(uint8_t* to, uint32_t value) {
    to[0] = (uint8_t)value;
    to[1] = (uint8_t)(value >> 8);
    to[2] = (uint8_t)(value >> 16);
    to[3] = (uint8_t)(value >> 24);
}

static uint64_t GetU64(const uint8_t* from) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | from[i];
    return value;
}

static uint32_t GetU32(const uint8_t* from) {
    return (uint32_t)from[0] | ((uint32_t)from[1] << 8) | ((uint32_t)from[2] << 16) |
           ((uint32_t)from[3] << 24);
}

static void Disarm(FilterDevice* fd) {
    if (fd->armedEvent)
        ObDereferenceObject(fd->armedEvent);
    fd->armedEvent = NULL;
    fd->armedBy = NULL;
    fd->armed = 0;
}

/* The caller's event handle is valid in the caller's process. Windows references it directly;
 * Wine 8 cannot reference a user-mode handle, but the dispatch runs with the caller as the
 * current process, so the handle is copied into this process and the copy referenced. */
static PKEVENT ReferenceCallerEvent(HANDLE userHandle) {
    PVOID object = NULL;
    POBJECT_TYPE eventType = *__imp_ExEventObjectType;
    if (NT_SUCCESS(ObReferenceObjectByHandle(userHandle, EVENT_MODIFY_STATE, eventType, UserMode,
                                             &object, NULL)))
        return (PKEVENT)object;

    HANDLE process = NULL;
    if (!NT_SUCCESS(ObOpenObjectByPointer(IoGetCurrentProcess(), OBJ_KERNEL_HANDLE, NULL,
                                          PROCESS_DUP_HANDLE, *__imp_PsProcessType, KernelMode,
                                          &process)))
        return NULL;
    HANDLE local = NULL;
    NTSTATUS status = ZwDuplicateObject(process, userHandle, NtCurrentProcess(), &local,
                                        EVENT_MODIFY_STATE | SYNCHRONIZE, 0, 0);
    ZwClose(process);
    if (!NT_SUCCESS(status))
        return NULL;
    status =
        ObReferenceObjectByHandle(local, EVENT_MODIFY_STATE, eventType, KernelMode, &object, NULL);
    ZwClose(local);
    return NT_SUCCESS(status) ? (PKEVENT)object : NULL;
}

static void SignalIfReady(FilterDevice* fd) {
    if (fd->armedEvent && fd->queueCount > 0) {
        KeSetEvent(fd->armedEvent, IO_NO_INCREMENT, FALSE);
        ++fd->signals;
        /* One signal per arm: the reader re-arms before it waits again. */
        Disarm(fd);
    }
}

static void Enqueue(FilterDevice* fd, const uint8_t* record) {
    if (fd->queueCount == TARN_SIM_QUEUE_LENGTH) {
        fd->queueHead = (fd->queueHead + 1) % TARN_SIM_QUEUE_LENGTH;
        --fd->queueCount;
        ++fd->dropped;
    }
    uint32_t slot = (fd->queueHead + fd->queueCount) % TARN_SIM_QUEUE_LENGTH;
    ZeroBytes(fd->queue[slot], TARN_EVENT_RECORD_LENGTH);
    CopyBytes(fd->queue[slot], record, fd->recordLength);
    ++fd->queueCount;
}

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS DispatchCreateClose(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    FilterDevice* fd = (FilterDevice*)device->DeviceExtension;
    /* Wine sends no IRP_MJ_CLEANUP: a closing reader releases its armed event here. */
    if (stack->MajorFunction == IRP_MJ_CLOSE && fd->armedBy == stack->FileObject)
        Disarm(fd);
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS DispatchControl(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    FilterDevice* fd = (FilterDevice*)device->DeviceExtension;
    uint32_t code = stack->Parameters.DeviceIoControl.IoControlCode;
    uint32_t inLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    uint32_t outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    uint8_t* buffer = (uint8_t*)irp->AssociatedIrp.SystemBuffer; /* METHOD_BUFFERED */
    const int tarnDevice = fd->index != TARN_FILTER_VELL;

    if (tarnDevice && code == IOCTL_TARN_SET_SETTINGS) {
        if (!buffer || inLength < TARN_SETTINGS_RECORD_LENGTH)
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        CopyBytes(fd->settings, buffer, TARN_SETTINGS_RECORD_LENGTH);
        ++fd->settingsCount;
        return Complete(irp, STATUS_SUCCESS, 0);
    }
    if (code == fd->armCode) {
        if (!buffer || inLength < TARN_WAIT_RECORD_LENGTH)
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        ++fd->arms;
        Disarm(fd);
        PKEVENT event =
            ReferenceCallerEvent((HANDLE)(ULONG_PTR)GetU64(buffer + TARN_WAIT_HANDLE_OFFSET));
        if (!event) {
            ++fd->armFailures;
            return Complete(irp, STATUS_INVALID_HANDLE, 0);
        }
        /* Not signalled from the arm request until a record is there. */
        KeClearEvent(event);
        fd->armedEvent = event;
        fd->armedBy = stack->FileObject;
        fd->armed = 1;
        SignalIfReady(fd);
        return Complete(irp, STATUS_SUCCESS, 0);
    }
    if (code == fd->stopCode) {
        ++fd->stops;
        if (buffer && inLength >= TARN_WAIT_RECORD_LENGTH)
            fd->lastStopEnable = GetU32(buffer + TARN_WAIT_ENABLE_OFFSET);
        Disarm(fd);
        return Complete(irp, STATUS_SUCCESS, 0);
    }
    if (code == fd->getCode) {
        if (!buffer || outLength < fd->recordLength)
            return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        if (fd->queueCount > 0) {
            CopyBytes(fd->lastRecord, fd->queue[fd->queueHead], TARN_EVENT_RECORD_LENGTH);
            fd->queueHead = (fd->queueHead + 1) % TARN_SIM_QUEUE_LENGTH;
            --fd->queueCount;
        }
        /* With nothing queued the device reports its last state again. */
        CopyBytes(buffer, fd->lastRecord, fd->recordLength);
        ++fd->fetches;
        return Complete(irp, STATUS_SUCCESS, fd->recordLength);
    }
    if (code == TARN_SIM_IOCTL_INJECT) {
        if (!buffer || inLength < fd->recordLength)
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        Enqueue(fd, buffer);
        SignalIfReady(fd);
        return Complete(irp, STATUS_SUCCESS, 0);
    }
    if (code == TARN_SIM_IOCTL_STATUS) {
        if (!buffer || outLength < TARN_SIM_STATUS_LENGTH)
            return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        ZeroBytes(buffer, TARN_SIM_STATUS_LENGTH);
        CopyBytes(buffer + TARN_SIM_STATUS_SETTINGS_OFFSET, fd->settings,
                  TARN_SETTINGS_RECORD_LENGTH);
        PutU32(buffer + TARN_SIM_STATUS_SETTINGS_COUNT, fd->settingsCount);
        PutU32(buffer + TARN_SIM_STATUS_ARMED, fd->armed);
        PutU32(buffer + TARN_SIM_STATUS_ARMS, fd->arms);
        PutU32(buffer + TARN_SIM_STATUS_FETCHES, fd->fetches);
        PutU32(buffer + TARN_SIM_STATUS_STOPS, fd->stops);
        PutU32(buffer + TARN_SIM_STATUS_QUEUED, fd->queueCount);
        PutU32(buffer + TARN_SIM_STATUS_DROPPED, fd->dropped);
        PutU32(buffer + TARN_SIM_STATUS_SIGNALS, fd->signals);
        PutU32(buffer + TARN_SIM_STATUS_LAST_STOP_ENABLE, fd->lastStopEnable);
        PutU32(buffer + TARN_SIM_STATUS_ARM_FAILURES, fd->armFailures);
        return Complete(irp, STATUS_SUCCESS, TARN_SIM_STATUS_LENGTH);
    }
    if (code == TARN_SIM_IOCTL_RESET) {
        Disarm(fd);
        ZeroBytes(fd->settings, TARN_SETTINGS_RECORD_LENGTH);
        ZeroBytes(fd->lastRecord, TARN_EVENT_RECORD_LENGTH);
        fd->queueHead = fd->queueCount = 0;
        fd->settingsCount = fd->arms = fd->fetches = fd->stops = fd->dropped = fd->signals = 0;
        fd->lastStopEnable = fd->armFailures = 0;
        return Complete(irp, STATUS_SUCCESS, 0);
    }
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

static void DriverUnload(PDRIVER_OBJECT driver) {
    (void)driver;
    for (int i = 0; i < TARN_FILTER_DEVICE_COUNT; ++i) {
        if (!devices[i])
            continue;
        Disarm((FilterDevice*)devices[i]->DeviceExtension);
        UNICODE_STRING link;
        RtlInitUnicodeString(&link, kLinkNames[i]);
        IoDeleteSymbolicLink(&link);
        IoDeleteDevice(devices[i]);
        devices[i] = NULL;
    }
}

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    (void)registryPath;
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->DriverUnload = DriverUnload;

    for (uint32_t i = 0; i < TARN_FILTER_DEVICE_COUNT; ++i) {
        UNICODE_STRING name, link;
        RtlInitUnicodeString(&name, kDeviceNames[i]);
        RtlInitUnicodeString(&link, kLinkNames[i]);
        PDEVICE_OBJECT device = NULL;
        NTSTATUS status = IoCreateDevice(driver, sizeof(FilterDevice), &name, FILE_DEVICE_UNKNOWN,
                                         0, FALSE, &device);
        if (!NT_SUCCESS(status)) {
            DriverUnload(driver);
            return status;
        }
        FilterDevice* fd = (FilterDevice*)device->DeviceExtension;
        ZeroBytes((uint8_t*)fd, sizeof(FilterDevice));
        fd->index = i;
        if (i == TARN_FILTER_VELL) {
            fd->recordLength = TARN_HID_EVENT_RECORD_LENGTH;
            fd->armCode = IOCTL_VELL_ARM_EVENT;
            fd->stopCode = IOCTL_VELL_STOP;
            fd->getCode = IOCTL_VELL_GET_EVENT;
        } else {
            fd->recordLength = TARN_EVENT_RECORD_LENGTH;
            fd->armCode = IOCTL_TARN_ARM_EVENT;
            fd->stopCode = IOCTL_TARN_STOP;
            fd->getCode = IOCTL_TARN_GET_EVENT;
        }
        devices[i] = device;
        status = IoCreateSymbolicLink(&link, &name);
        if (!NT_SUCCESS(status)) {
            DriverUnload(driver);
            return status;
        }
        device->Flags |= DO_BUFFERED_IO;
        device->Flags &= ~(ULONG)DO_DEVICE_INITIALIZING;
    }
    return STATUS_SUCCESS;
}
