#include "serial/device_change_watch.h"

#include <windows.h>

#include <dbt.h>

#include <QMetaObject>

// The Windows twin. The system sends WM_DEVICECHANGE to every top-level window when a COM
// port arrives or goes (DBT_DEVTYP_PORT) and when any device node changes. A message-only
// window would hear no broadcast, so this is an ordinary top-level window that is never
// shown. The message is handled from the event loop afterwards, never inside the sender's
// call.

namespace dravolin {

namespace {

constexpr wchar_t kWindowClass[] = L"DravolinDeviceChanges";

class DeviceChangeWindow : public QObject {
public:
    explicit DeviceChangeWindow(std::function<void()> onChange) : onChange_(std::move(onChange)) {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &DeviceChangeWindow::windowProcedure;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kWindowClass;
        RegisterClassExW(&windowClass);  // fails harmlessly when it is registered already
        window_ = CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, this);
    }
    ~DeviceChangeWindow() override {
        if (window_ != nullptr) {
            DestroyWindow(window_);
        }
    }
    DeviceChangeWindow(const DeviceChangeWindow&) = delete;
    DeviceChangeWindow& operator=(const DeviceChangeWindow&) = delete;

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
        } else if (message == WM_DEVICECHANGE && devicesMayHaveChanged(wParam)) {
            auto* self =
                reinterpret_cast<DeviceChangeWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
            if (self != nullptr) {
                self->tellOnce();
            }
            return TRUE;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    static bool devicesMayHaveChanged(WPARAM event) {
        return event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE ||
               event == DBT_DEVNODES_CHANGED;
    }

    // One plug-in brings several messages; the devices are looked at once for all of them.
    void tellOnce() {
        if (told_) {
            return;
        }
        told_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                told_ = false;
                onChange_();
            },
            Qt::QueuedConnection);
    }

    std::function<void()> onChange_;
    HWND window_ = nullptr;
    bool told_ = false;
};

}  // namespace

DeviceChangeWatch::DeviceChangeWatch(const std::filesystem::path& root,
                                     std::function<void()> onChange)
    : root_(root), watcher_(std::make_unique<DeviceChangeWindow>(std::move(onChange))) {}

DeviceChangeWatch::~DeviceChangeWatch() = default;

void DeviceChangeWatch::followNewFolders() {}

}  // namespace dravolin
