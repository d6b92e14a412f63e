#include "testcam/DeviceRegistry.h"

#include "common/Text.h"

#include <objbase.h>
#include <strmif.h>
#include <uuids.h>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "common/ComPtr.h"
#include "common/Handle.h"
#include "common/HResult.h"
#include "testcam/CameraIds.h"

namespace quilo::testcam {

const char kInstanceKey[] = "CLSID\\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\Instance";
const char kStateKey[] = "Software\\QuiloVideo\\TestCamera\\Devices";
const char kDeviceNameValue[] = "DeviceName";

namespace {

constexpr size_t kMaxNameLength = 200;

std::string instance_path(const std::string &name) { return std::string(kInstanceKey) + "\\" + name; }
std::string state_path(const std::string &name) { return std::string(kStateKey) + "\\" + name; }

bool read_text(HKEY key, const char *value, std::string &text)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return false;
    std::string buffer(size + 1, '\0');
    if (RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE *>(&buffer[0]), &size) != ERROR_SUCCESS)
        return false;
    buffer.resize(std::strlen(buffer.c_str()));
    text = buffer;
    return true;
}

bool read_number(HKEY key, const char *value, DWORD &number)
{
    DWORD type = 0, size = sizeof(number);
    return RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE *>(&number), &size) == ERROR_SUCCESS &&
           type == REG_DWORD;
}

void write_text(HKEY key, const char *value, const std::string &text)
{
    RegSetValueExA(key, value, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
}

void write_number(HKEY key, const char *value, DWORD number)
{
    RegSetValueExA(key, value, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number), sizeof(number));
}

// Whether the instance key NAME exists, and whether its CLSID is the test camera's.
enum class Owner { None, TestCamera, Other };

Owner owner_of(const std::string &name)
{
    UniqueHkey key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, instance_path(name).c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return Owner::None;
    std::string clsid;
    if (read_text(key.get(), "CLSID", clsid) && _stricmp(clsid.c_str(), kClsidTestCameraText) == 0)
        return Owner::TestCamera;
    return Owner::Other;
}

HRESULT delete_tree(HKEY root, const std::string &path)
{
    const LSTATUS status = RegDeleteTreeA(root, path.c_str());
    if (status == ERROR_FILE_NOT_FOUND) return S_FALSE;
    return hresult_from_win32(static_cast<unsigned long>(status));
}

// Serialises read-modify-write of device state, and adding, removing and clearing devices,
// between the processes that use the prefix's devices.
class StateLock
{
public:
    StateLock() : mutex_(CreateMutexA(nullptr, FALSE, "Local\\QuiloTestCamera.DeviceState"))
    {
        // Bounded: a process that died holding it must not stop every other user of a device.
        const DWORD wait = mutex_ ? WaitForSingleObject(mutex_.get(), 5000) : WAIT_FAILED;
        owned_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
    ~StateLock()
    {
        if (owned_) ReleaseMutex(mutex_.get());
    }
    StateLock(const StateLock &) = delete;
    StateLock &operator=(const StateLock &) = delete;

private:
    UniqueHandle mutex_;
    bool owned_ = false;
};

// Runs `write` on the device's state key, under the state lock, unless the device is gone: a
// filter that outlives its device must not bring the device's state back.
template <typename Write>
void update_state(const std::string &name, Write write)
{
    StateLock lock;
    if (owner_of(name) != Owner::TestCamera) return;
    UniqueHkey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, state_path(name).c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        return;
    write(key.get());
}

std::vector<std::string> tokens(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream stream(text);
    std::string token;
    while (stream >> token) out.push_back(token);
    return out;
}

std::string control_value_name(ControlKind kind, long property)
{
    const char *name = control_name(kind, property);
    return std::string(kind == ControlKind::ProcAmp ? "ProcAmp." : "CameraControl.") +
           (name ? name : std::to_string(property));
}

void read_entries(HKEY key, const char *value, std::vector<ControlEntry> &entries)
{
    std::string text;
    if (!read_text(key, value, text)) return;
    for (const std::string &token : tokens(text)) {
        ControlEntry entry = {};
        if (std::sscanf(token.c_str(), "%ld:%ld:%ld", &entry.property, &entry.value, &entry.flags) == 3)
            entries.push_back(entry);
    }
}

} // namespace

bool valid_device_name(const std::string &name, std::string *why)
{
    const char *problem = nullptr;
    if (name.empty())
        problem = "the device name is empty";
    else if (name.size() > kMaxNameLength)
        problem = "the device name is longer than 200 characters";
    else if (name.find('\\') != std::string::npos)
        problem = "the device name contains a backslash";
    else if (name.find_first_not_of(' ') == std::string::npos)
        problem = "the device name is blank";
    else if (name[0] == '-')
        problem = "the device name starts with '-' (the name comes before the options)";
    if (problem && why) *why = problem;
    return problem == nullptr;
}

HRESULT add_device(const std::string &name, const DeviceOptions &options)
{
    RETURN_HR_IF(E_INVALIDARG, !valid_device_name(name));
    // The whole change under the lock: the mapper writes the instance key value by value, and
    // another process's add, remove or clear must neither take a half-written key for another
    // driver's nor delete it between the mapper's writes and ours.
    StateLock lock;
    const Owner owner = owner_of(name);
    RETURN_HR_IF(kNotTestCamera, owner == Owner::Other);
    if (owner == Owner::TestCamera) RETURN_IF_FAILED(delete_tree(HKEY_CLASSES_ROOT, instance_path(name)));

    // The same entry a camera driver's registration makes, through the platform's own mapper.
    ComPtr<IFilterMapper2> mapper;
    RETURN_IF_FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                      mapper.put_void()));
    REGPINTYPES type = {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24};
    REGFILTERPINS2 pin = {};
    pin.dwFlags = REG_PINFLAG_B_OUTPUT;
    pin.cInstances = 1;
    pin.nMediaTypes = 1;
    pin.lpMediaType = &type;
    pin.clsPinCategory = &PIN_CATEGORY_CAPTURE;
    REGFILTER2 filter = {};
    filter.dwVersion = 2;
    filter.dwMerit = MERIT_DO_NOT_USE;
    filter.cPins2 = 1;
    filter.rgPins2 = &pin;
    const std::wstring wideName = widen(name);
    RETURN_IF_FAILED(mapper->RegisterFilter(kClsidTestCamera, wideName.c_str(), nullptr,
                                            &CLSID_VideoInputDeviceCategory, wideName.c_str(), &filter));

    UniqueHkey key;
    const LSTATUS status = RegOpenKeyExA(HKEY_CLASSES_ROOT, instance_path(name).c_str(), 0, KEY_READ | KEY_WRITE,
                                         key.put());
    if (status != ERROR_SUCCESS) {
        // The mapper put the device elsewhere (or nowhere): it would not have our options.
        mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, wideName.c_str(), kClsidTestCamera);
        return hresult_from_win32(static_cast<unsigned long>(status));
    }
    write_text(key.get(), kDeviceNameValue, name);
    for (const OptionValue &value : option_values(options)) {
        if (value.isText)
            write_text(key.get(), value.name, value.text);
        else
            write_number(key.get(), value.name, value.number);
    }
    if (options.noName) RegDeleteValueA(key.get(), "FriendlyName");
    if (!options.noPath) write_text(key.get(), "DevicePath", device_path(name));

    delete_tree(HKEY_CURRENT_USER, state_path(name));
    return S_OK;
}

std::string device_path(const std::string &name)
{
    std::string id = name;
    for (char &c : id)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    // The form a plug-and-play camera's interface path has: bus, device, instance, category.
    return "\\\\?\\root#quilotestcam#" + id + "#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
}

HRESULT remove_device(const std::string &name)
{
    RETURN_HR_IF(E_INVALIDARG, !valid_device_name(name));
    StateLock lock;
    const Owner owner = owner_of(name);
    if (owner == Owner::None) return S_FALSE;
    RETURN_HR_IF(kNotTestCamera, owner == Owner::Other);
    RETURN_IF_FAILED(delete_tree(HKEY_CLASSES_ROOT, instance_path(name)));
    delete_tree(HKEY_CURRENT_USER, state_path(name));
    return S_OK;
}

std::vector<std::string> device_names()
{
    std::vector<std::string> names;
    UniqueHkey key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kInstanceKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    char subkey[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof(subkey);
        if (RegEnumKeyExA(key.get(), i, subkey, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (owner_of(subkey) == Owner::TestCamera) names.emplace_back(subkey);
    }
    return names;
}

HRESULT clear_devices(unsigned *removed)
{
    if (removed) *removed = 0;
    HRESULT result = S_OK;
    StateLock lock;
    for (const std::string &name : device_names()) {
        const HRESULT hr = delete_tree(HKEY_CLASSES_ROOT, instance_path(name));
        if (FAILED(hr))
            result = hr;
        else if (removed)
            ++*removed;
    }
    delete_tree(HKEY_CURRENT_USER, kStateKey);
    return result;
}

HRESULT read_device_options(const std::string &name, DeviceOptions &options)
{
    UniqueHkey key;
    const LSTATUS status = RegOpenKeyExA(HKEY_CLASSES_ROOT, instance_path(name).c_str(), 0, KEY_READ, key.put());
    if (status != ERROR_SUCCESS) return hresult_from_win32(static_cast<unsigned long>(status));
    return read_option_values(
        [&](const char *value, bool isText, std::string &text, DWORD &number) -> HRESULT {
            const bool found = isText ? read_text(key.get(), value, text) : read_number(key.get(), value, number);
            return found ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        },
        options);
}

DeviceRecord read_device_record(const std::string &name)
{
    DeviceRecord record;
    record.present = owner_of(name) == Owner::TestCamera;
    UniqueHkey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, state_path(name).c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return record;

    const std::pair<const char *, long *> counts[] = {
        {record::kRuns, &record.runs},
        {record::kPauses, &record.pauses},
        {record::kStops, &record.stops},
        {record::kFramesDelivered, &record.framesDelivered},
        {record::kStreamStarts, &record.streamStarts},
        {record::kPageActivations, &record.pageActivations},
        {record::kCanRouteCalls, &record.canRouteCalls},
    };
    for (const auto &entry : counts) {
        DWORD number = 0;
        if (read_number(key.get(), entry.first, number)) *entry.second = static_cast<long>(number);
    }

    std::string text;
    if (read_text(key.get(), record::kFormatSets, text)) {
        for (const std::string &token : tokens(text)) {
            FormatEntry entry = {};
            unsigned long result = 0;
            if (std::sscanf(token.c_str(), "%ldx%ld:%lx", &entry.width, &entry.height, &result) == 3) {
                entry.result = static_cast<HRESULT>(result);
                record.formatSets.push_back(entry);
            }
        }
    }
    read_entries(key.get(), record::kProcAmpSets, record.procAmpSets);
    read_entries(key.get(), record::kCameraControlSets, record.cameraControlSets);
    for (ControlKind kind : {ControlKind::ProcAmp, ControlKind::CameraControl}) {
        for (long property = 0; property < property_count(kind); ++property) {
            ControlEntry entry{property, 0, 0};
            if (read_text(key.get(), control_value_name(kind, property).c_str(), text) &&
                std::sscanf(text.c_str(), "%ld %ld", &entry.value, &entry.flags) == 2)
                record.keptControls[static_cast<int>(kind)].push_back(entry);
        }
    }
    if (read_text(key.get(), record::kVideoStandardSets, text)) {
        for (const std::string &token : tokens(text)) {
            unsigned long value = 0;
            if (std::sscanf(token.c_str(), "%lx", &value) == 1)
                record.videoStandardSets.push_back(static_cast<long>(value));
        }
    }
    if (read_text(key.get(), record::kRoutes, text)) {
        for (const std::string &token : tokens(text)) {
            long output = 0, input = 0;
            if (std::sscanf(token.c_str(), "%ld:%ld", &output, &input) == 2) record.routes.emplace_back(output, input);
        }
    }
    return record;
}

void DeviceState::count(const char *value, long delta) const
{
    update_state(name_, [&](HKEY key) {
        DWORD number = 0;
        read_number(key, value, number);
        write_number(key, value, number + static_cast<DWORD>(delta));
    });
}

void DeviceState::append(const char *value, const std::string &entry) const
{
    update_state(name_, [&](HKEY key) {
        std::string text;
        read_text(key, value, text);
        if (!text.empty()) text += ' ';
        text += entry;
        write_text(key, value, text);
    });
}

bool DeviceState::readText(const std::string &value, std::string &text) const
{
    UniqueHkey key;
    return RegOpenKeyExA(HKEY_CURRENT_USER, state_path(name_).c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS &&
           read_text(key.get(), value.c_str(), text);
}

bool DeviceState::loadControl(ControlKind kind, long property, long &value, long &flags) const
{
    std::string text;
    long v = 0, f = 0;
    if (!readText(control_value_name(kind, property), text) || std::sscanf(text.c_str(), "%ld %ld", &v, &f) != 2)
        return false;
    value = v;
    flags = f;
    return true;
}

void DeviceState::storeControl(ControlKind kind, long property, long value, long flags) const
{
    update_state(name_, [&](HKEY key) {
        write_text(key, control_value_name(kind, property).c_str(), std::to_string(value) + " " + std::to_string(flags));
    });
}

bool DeviceState::loadRouting(std::vector<long> &routing) const
{
    std::string text;
    if (!readText(record::kRouting, text)) return false;
    std::vector<long> kept;
    for (const std::string &token : tokens(text)) kept.push_back(std::strtol(token.c_str(), nullptr, 10));
    // Only a whole routing, one input per output, is taken.
    if (kept.size() != routing.size()) return false;
    routing = kept;
    return true;
}

void DeviceState::storeRouting(const std::vector<long> &routing) const
{
    std::string text;
    for (long input : routing) text += (text.empty() ? "" : " ") + std::to_string(input);
    update_state(name_, [&](HKEY key) { write_text(key, record::kRouting, text); });
}

} // namespace quilo::testcam
