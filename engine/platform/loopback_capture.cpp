#include "platform/loopback_capture.h"

#ifdef _WIN32
#include "lifecycle/engine_log.h"

#include <windows.h>

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <mmreg.h>

#include <atomic>
#include <cstring>
#endif

namespace pixpipe {

#ifdef _WIN32

namespace {

// Shared-mode buffer the system fills between two reads (100 ns units). The
// reader looks every few milliseconds; half a second leaves room for a long
// stall of the thread.
constexpr REFERENCE_TIME kBufferDuration = 5000000;

// Notices a change of the default playback device: the loopback keeps
// capturing the old device, which no longer plays what the user hears.
class DefaultDeviceWatch final : public IMMNotificationClient {
public:
    bool changed() const { return m_changed.load(); }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IMMNotificationClient)) {
            *object = static_cast<IMMNotificationClient *>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) override {
        if (flow == eRender && role == eConsole)
            m_changed.store(true);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override {
        return S_OK;
    }

private:
    std::atomic<ULONG> m_references{1};
    std::atomic<bool> m_changed{false};
};

template <typename Interface> void releaseInterface(Interface *&object) {
    if (object)
        object->Release();
    object = nullptr;
}

// The sample type of a mix format, false when the engine cannot take it.
bool sampleTypeOf(const WAVEFORMATEX *wave, LoopbackSampleType *type) {
    WORD tag = wave->wFormatTag;
    if (tag == WAVE_FORMAT_EXTENSIBLE && wave->cbSize >= 22) {
        // The sub-format GUIDs of plain PCM and float carry the format tag in
        // their first field on a fixed base.
        const GUID &sub = reinterpret_cast<const WAVEFORMATEXTENSIBLE *>(wave)->SubFormat;
        static const unsigned char base[8] = {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};
        if (sub.Data2 != 0x0000 || sub.Data3 != 0x0010 || std::memcmp(sub.Data4, base, 8) != 0)
            return false;
        tag = static_cast<WORD>(sub.Data1);
    }
    if (tag == WAVE_FORMAT_IEEE_FLOAT && wave->wBitsPerSample == 32)
        *type = LoopbackSampleType::Float32;
    else if (tag == WAVE_FORMAT_PCM && wave->wBitsPerSample == 16)
        *type = LoopbackSampleType::Int16;
    else if (tag == WAVE_FORMAT_PCM && wave->wBitsPerSample == 32)
        *type = LoopbackSampleType::Int32;
    else
        return false;
    return true;
}

class WasapiLoopback final : public LoopbackClient {
public:
    ~WasapiLoopback() override {
        if (m_started)
            m_client->Stop();
        releaseInterface(m_capture);
        releaseInterface(m_client);
        releaseInterface(m_device);
        if (m_watch && m_watchRegistered)
            m_enumerator->UnregisterEndpointNotificationCallback(m_watch);
        releaseInterface(m_watch);
        releaseInterface(m_enumerator);
        if (m_comInitialised)
            CoUninitialize();
    }

    bool open() {
        HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        // S_FALSE: already initialised on this thread; the call still counts.
        m_comInitialised = SUCCEEDED(result);
        if (FAILED(result) && result != RPC_E_CHANGED_MODE)
            return fail("initialising COM", result);

        result = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                  __uuidof(IMMDeviceEnumerator),
                                  reinterpret_cast<void **>(&m_enumerator));
        if (FAILED(result))
            return fail("creating the device enumerator", result);
        result = m_enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &m_device);
        if (FAILED(result))
            return fail("finding the default playback device", result);
        m_watch = new DefaultDeviceWatch;
        m_watchRegistered = SUCCEEDED(m_enumerator->RegisterEndpointNotificationCallback(m_watch));
        result = m_device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                                    reinterpret_cast<void **>(&m_client));
        if (FAILED(result))
            return fail("activating the audio client", result);

        WAVEFORMATEX *mix = nullptr;
        result = m_client->GetMixFormat(&mix);
        if (FAILED(result))
            return fail("reading the mix format", result);
        LoopbackSampleType type;
        const bool known = sampleTypeOf(mix, &type);
        if (known) {
            m_format = {static_cast<int>(mix->nSamplesPerSec), mix->nChannels, type};
            m_bytesPerFrame = mix->nBlockAlign;
            result = m_client->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_LOOPBACK,
                                          kBufferDuration, 0, mix, nullptr);
        }
        CoTaskMemFree(mix);
        if (!known) {
            logLine("loopback capture: the mix format is neither 32-bit float nor 16/32-bit "
                    "PCM\n");
            return false;
        }
        if (FAILED(result))
            return fail("initialising the loopback stream", result);
        result = m_client->GetService(__uuidof(IAudioCaptureClient),
                                      reinterpret_cast<void **>(&m_capture));
        if (FAILED(result))
            return fail("getting the capture client", result);
        result = m_client->Start();
        if (FAILED(result))
            return fail("starting the loopback stream", result);
        m_started = true;
        return true;
    }

    LoopbackFormat format() const override { return m_format; }

    LoopbackStatus read(std::vector<uint8_t> &samples) override {
        if (m_watchRegistered && m_watch->changed()) {
            logLine("loopback capture: the default playback device changed\n");
            return LoopbackStatus::DeviceLost;
        }
        while (true) {
            UINT32 packetFrames = 0;
            HRESULT result = m_capture->GetNextPacketSize(&packetFrames);
            if (FAILED(result))
                return failedRead(result);
            if (packetFrames == 0)
                return LoopbackStatus::Ok;
            BYTE *data = nullptr;
            UINT32 frames = 0;
            DWORD flags = 0;
            result = m_capture->GetBuffer(&data, &frames, &flags, nullptr, nullptr);
            if (FAILED(result))
                return failedRead(result);
            const size_t bytes = static_cast<size_t>(frames) * m_bytesPerFrame;
            const size_t at = samples.size();
            if (flags & AUDCLNT_BUFFERFLAGS_SILENT)
                samples.resize(at + bytes, 0);
            else
                samples.insert(samples.end(), data, data + bytes);
            result = m_capture->ReleaseBuffer(frames);
            if (FAILED(result))
                return failedRead(result);
        }
    }

private:
    bool fail(const char *step, HRESULT result) {
        logLine("loopback capture: %s failed (0x%08lx)\n", step,
                static_cast<unsigned long>(result));
        return false;
    }

    LoopbackStatus failedRead(HRESULT result) {
        logLine("loopback capture: reading failed (0x%08lx)\n", static_cast<unsigned long>(result));
        return result == AUDCLNT_E_DEVICE_INVALIDATED ? LoopbackStatus::DeviceLost
                                                      : LoopbackStatus::Failed;
    }

    bool m_comInitialised = false;
    IMMDeviceEnumerator *m_enumerator = nullptr;
    IMMDevice *m_device = nullptr;
    DefaultDeviceWatch *m_watch = nullptr;
    bool m_watchRegistered = false;
    IAudioClient *m_client = nullptr;
    IAudioCaptureClient *m_capture = nullptr;
    bool m_started = false;
    LoopbackFormat m_format;
    int m_bytesPerFrame = 0;
};

} // namespace

std::unique_ptr<LoopbackClient> openDefaultLoopback() {
    auto loopback = std::make_unique<WasapiLoopback>();
    if (!loopback->open())
        return nullptr;
    return loopback;
}

#endif

} // namespace pixpipe
