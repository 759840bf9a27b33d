#pragma once
// The session object behind one handle: owns the camera device object and the pictures, caches
// every camera setting so it survives closing and reopening the camera, and turns the device's
// 1/0 answers into the error codes and messages a host sees.
#include <array>
#include <atomic>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "device/camera_device.h"
#include "imaging/colour.h"
#include "imaging/defect_mask.h"
#include "imaging/dib_image.h"
#include "imaging/frame_pipeline.h"
#include "imaging/nearest_scaler.h"
#include "kelvox/kelvox.h"
#include "output/avi_writer.h"
#include "output/mask_file.h"
#include "platform/event.h"
#include "platform/window_message.h"
#include "session/analog_controls.h"
#include "session/camera_catalog.h"
#include "session/error_history.h"
#include "session/register_access.h"
#include "settings/camera_store.h"
#include "settings/dialog_model.h"
#include "settings/records.h"
#include "ui/preview_window.h"

namespace kelvox {

class AnalogDialog;
class ImageDialog;

class Session {
public:
    // The ten planes of the defect mask and the dot filter.
    enum MaskPlane {
        kDark8, kBright8, kDark16, kBright16, kDefect8a, kDefect8b, kDefect16a, kDefect16b, kWork8, kWork16,
        kMaskPlanes
    };
    enum Picture { kRaw8, kRaw16, kOut24, kOut32, kOut48, kOut64, kCurrentView, kDisplay, kFirstMaskPlane };
    static constexpr int kPictures = static_cast<int>(kFirstMaskPlane) + static_cast<int>(kMaskPlanes);  // 18

    static constexpr int kSensorWidth = 1920;
    static constexpr int kSensorHeight = 1200;
    static constexpr const char* kNameBase = "KelvoxNx40-USB3-Q5";

    Session();
    virtual ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Run once by Kelvox_Initialize; the handle is returned whatever this reports.
    int Initialize(platform::WindowHandle notify_window);

    // The usual report: into the history, and to the notification window when there is one.
    void RecordError(int code);
    // Message only, posted even without a notification window (then to the caller's own queue).
    void NotifyError(int code);
    int PopLastError() { return errors_.Pop(); }
    platform::WindowHandle notify_window() const { return notify_window_.load(); }

    // ---- cameras ----
    int SetDeviceNumber(int index);

    // ---- geometry and format ----
    int SetCaptureWindowEx(int total_width, int x, int width, int total_height, int y, int height);
    // The stored size preset of this effective size.
    int SetCaptureWindow(int width, int height);
    int GetCaptureWindowEx(int* total_width, int* x, int* width, int* total_height, int* y, int* height);
    int Width() const;
    int Height() const;
    int SetColorMode(int bits);
    int GetColorMode() const;
    int SetSubSample(int code);
    int GetSubSample() const { return subsample_; }
    int SetWaitTime(int ms);
    int GetWaitTime() const { return wait_time_.load(); }
    int SetSamplingRate(int rate);
    bool CaptureWindowValid() const;
    // The effective window's size after subsampling: the size of every picture of a capture.
    std::pair<int, int> OutputSize() const;

    // ---- the export groups that have objects of their own ----
    CameraCatalog& cameras() { return cameras_; }
    AnalogControls& analog() { return analog_; }
    RegisterAccess& registers() { return registers_; }

    // ---- capture and delivery ----
    enum CaptureState { kIdle = 0, kLivePreview = 1, kCapturePrepared = 2 };
    int Capture();
    int StartPreview();
    int CallBackPreview(platform::WindowHandle window, void* buffer, int size, int row_order);
    // Live preview drawn into the preview window only: no callback window, no host buffer.
    int Preview();
    // Where the next Preview or CallBackPreview puts its window.
    int SetPreviewWindow(platform::WindowHandle parent, int x, int y, int width, int height);
    platform::WindowHandle preview_window();
    int StopPreview();
    int Close();
    int SnapShot(void* buffer, int size, int row_order);
    int GetImage(void* buffer, int size, int row_order);
    int capture_state() const { return capture_state_.load(); }
    // Turns the raw picture of the prepared mode into its output picture (frame lock held).
    void ProcessFrame();
    // The threads ProcessFrame shares rows with, `threads` in all with the caller: started with the
    // frame thread (BandWorkers::ConfiguredThreads() unless started already) and stopped with it.
    // Tests and benchmarks that call ProcessFrame themselves start them here.
    void StartBandWorkers(int threads);
    void StopBandWorkers();
    int image_valid() const { return image_valid_.load(); }

    // ---- image files ----
    // Names converted from wide text must fit this buffer less one byte, terminator included.
    static constexpr int kMaxFileName = 1024;
    // The current output picture as a file of the format code (0 BMP, 1 raw, 2-4 JPEG, 5 PNG, 6 TIFF).
    int SaveImage(const char* name, int format);
    int SaveImageW(const wchar_t* name, int format);

    // ---- AVI recording ----
    // Records the processed frames of the live preview it starts for `duration` ms (unsigned:
    // -1 records until the capture stops) from the first frame, with the preview window when
    // `show_window` is set and a placement exists.
    int Record(const char* name, int duration, int show_window);
    int RecordW(const wchar_t* name, int duration, int show_window);
    bool recording() const { return recording_.load() != 0; }

    // ---- the defect mask's reference frames ----
    // The raw picture of the prepared mode as the dark (0) or bright (1) reference of its depth,
    // when it is a full sensor frame; its defect map rebuilt.
    int UpdateMaskData(int which);
    int SaveMaskFile(const char* name);
    int SaveMaskFileW(const wchar_t* name);
    int LoadMaskFile(const char* name);
    int LoadMaskFileW(const wchar_t* name);

    // ---- stored settings and the configuration list ----
    // Re-read by the camera dialog after OK, and at initialise.
    void LoadStreamGeometry();
    void LoadStreamFormat();
    int LoadConfigFile(const char* name);
    int LoadConfigFileW(const wchar_t* name);
    std::vector<std::pair<int32_t, int32_t>> config_pairs();

    // ---- settings dialogs ----
    // Modal over `owner`; 1 once closed, whatever the user chose.
    int SetCameraDlg(platform::WindowHandle owner);
    int SetAnalogDlg(platform::WindowHandle owner);
    int SetImageDlg(platform::WindowHandle owner);
    // The open analog dialog, which the automatic gain and exposure control keeps up to date;
    // null when none is open.
    void SetAnalogDialog(AnalogDialog* dialog);
    // The open image dialog, shown the gains automatic white balance and grey calibration find.
    void SetImageDialog(ImageDialog* dialog);

    // ---- image-filter values (identifiers of the filter table) ----
    int SetFilterValue(int id, int value);
    int GetFilterValue(int id, int* ok);
    const FilterSettings& filters() const { return filters_; }

    // ---- for the layers above and tests ----
    device::CameraDevice* device() const { return device_.get(); }
    imaging::DibImage* picture(int index) const { return pictures_[index].get(); }
    int open_camera() const { return open_camera_; }
    const CameraSettings& camera_settings() const { return settings_; }
    const CaptureWindow& capture_window() const { return window_; }
    int color_mode_index() const { return color_mode_; }

    // Bits per pixel of each colour mode index.
    static constexpr int kColorModeBits[6] = {8, 16, 24, 32, 48, 64};

private:
    // The export groups work on the session's device, settings cache and error reporting.
    friend class AnalogControls;
    friend class CameraCatalog;
    friend class RegisterAccess;
    friend class AnalogDialog;
    friend class ImageDialog;

    settings::FormatCapabilities FormatCapabilities() const;
    // The analog, image-filter and grey groups of a camera number, into and out of the records.
    void LoadDialogSettings(int camera);
    void SaveDialogSettings(int camera);
    // Stored picture settings held within the ranges their setters accept: the store may hold
    // anything, and processing relies on those ranges.
    static void HoldPictureSettingsInRange(FilterSettings& filters);
    void ApplyCameraSettings();
    void ApplyGainsAndExposure();
    // Sizes the pictures for the colour mode and window and sets the device up; records its code.
    int PrepareCapture();
    void ApplyCaptureSettings();
    void StopFrameThread();
    // Steps shared by Preview and CallBackPreview once the delivery targets are set.
    int StartWithWindow();
    // Replaces any earlier preview window with a new one of the placement; false when none could
    // be made.
    bool OpenPreviewWindow();
    // Takes the preview window from the frame thread and closes it.
    void ClosePreviewWindow();
    // One processed frame into the preview window (frame lock held).
    void DrawPreview();
    // The picture the preview shows for the prepared mode, reduced to 8 or 24 bits where needed.
    imaging::DibImage* DisplaySource();
    // The display picture at the client size, 8 bits with the grey table for the grey modes.
    bool SizeDisplayPicture(int width, int height);
    void FrameLoop();
    // The recording thread: each new frame converted under the frame lock, written after it.
    void RecordingLoop();
    // The output picture as a bottom-up 24-bit frame (frame lock held); false when the output
    // no longer has the recording's size or mode. The 16-bit mode leaves its 8-bit reduction in
    // `grey` for the caller to expand.
    bool TakeRecordingFrame(int mode, imaging::DibImage& frame, imaging::DibImage& grey);
    // Appends the index and the measured rate; false when the file could not be completed.
    bool FinishRecording(uint32_t elapsed_ms);
    // Clears the recording flag and waits for the recording thread to end.
    void StopRecording();
    // GetFrame into the raw picture of the prepared mode, rows spread to the picture's stride.
    bool FetchFrame(imaging::DibImage& raw);
    // The host-buffer copy; a short buffer posts (0, 5) to the callback window and records 5.
    bool CopyToHost(const imaging::DibImage& image, void* buffer, int size, int row_order);
    void PostFrameFailure(int code);
    void CountFrame();
    // Exposure or gain scaled by what the raw picture measures, when automatic.
    void ApplyAutoExposure(imaging::DibImage& raw);
    // The shading and defect corrections switched on, with the mask lock held.
    void CorrectWithMask(imaging::DibImage& raw);
    // The four reference frames of the mask, for the mask file.
    output::MaskReferences MaskReferenceFrames();
    // A wide file name in the thread's code page; false, with error 12 recorded, when it cannot
    // be converted or does not fit the buffer with its terminator.
    bool NarrowFileName(const wchar_t* name, char (&narrow)[kMaxFileName]);
    // False, with error 1 recorded, when no camera is open.
    bool NeedOpenCamera();
    // An open camera and a window system (error 4 without one).
    bool NeedDialogs();
    // The model's dialog; 0, with error 4 recorded, when it could not be shown.
    int ShowDialog(platform::WindowHandle owner, settings::DialogModel& model);
    // False, with error 1 recorded (or only notified), when initialise left no device object.
    bool NeedDevice(bool notify_only = false);
    // A device answer of 0 becomes error 6; the answer is passed on.
    int DeviceIo(int answer);

    std::unique_ptr<device::CameraDevice> device_;
    std::array<std::unique_ptr<imaging::DibImage>, kPictures> pictures_;
    CaptureWindow window_;
    FilterSettings filters_;
    CameraSettings settings_;
    std::mutex frame_lock_;
    // Serialises the exports that start, stop or fetch, so two host threads cannot both start a
    // frame thread; the frame thread itself never takes it.
    // Also guards the capture window, which host threads set and the prepare step reads.
    mutable std::recursive_mutex control_lock_;
    bool settings_seen_ = false;
    std::atomic<int> run_state_{0};
    std::thread frame_thread_;
    std::unique_ptr<platform::Event> thread_exit_;
    platform::Event wake_{platform::Event::Reset::Manual};  // cuts the wait-time pause short at a stop
    std::atomic<platform::WindowHandle> notify_window_{nullptr};
    // The callback target; changed and read under the frame lock, so a frame never sees a new
    // buffer with an old size.
    platform::WindowHandle callback_window_ = nullptr;
    void* host_buffer_ = nullptr;
    int host_size_ = 0;
    int row_order_ = 0;
    KELVOX_FRAME_INFO frame_info_{};
    std::atomic<int> capture_state_{kIdle};
    std::atomic<int> color_mode_{0};
    int prepared_mode_ = 0;  // the colour mode the pictures were last sized for
    std::atomic<int> subsample_{0};
    std::atomic<int> wait_time_{10};
    int clock_ = 0;
    std::atomic<int> image_valid_{0};
    int frames_per_second10_ = 0;
    int frame_counter_ = 0;
    uint32_t rate_time_base_;
    ErrorHistory errors_;
    int snapshot_timeout_ = 3000;
    imaging::FramePipeline pipeline_;  // under the frame lock
    imaging::BandWorkers band_workers_;  // under the frame lock
    int open_camera_ = -1;
    std::atomic<bool> camera_lost_{false};  // the device gave up on the open camera since it was opened
    int mask_filter_ = 0, dot_filter_ = 0;
    std::vector<std::pair<int32_t, int32_t>> config_pairs_;  // under the frame lock
    ui::PreviewPlacement placement_;
    // Swapped in and out under the frame lock; made and closed outside it, since both send window
    // messages.
    std::unique_ptr<ui::PreviewWindow> preview_;
    imaging::NearestScaler scaler_;  // under the frame lock
    std::mutex mask_lock_;
    // Under the mask lock: the shading factors of the references at each depth, the defect
    // correction's working memory.
    imaging::ShadingCorrection shading8_, shading16_;
    imaging::DefectCorrection defects_;
    int prepared_x_ = 0, prepared_y_ = 0;  // the window's offset on the sensor when last prepared
    // The recording thread's while it runs; the host thread's before it starts and after it ended.
    output::AviWriter recorder_;
    std::atomic<int> recording_{0};
    std::atomic<int> new_frame_{0};  // set by the frame thread after each processed frame
    uint32_t frame_time_ = 0;         // when that frame was processed (ms); under the frame lock
    platform::Event recorder_wake_;  // set with the new-frame flag while recording
    uint32_t record_duration_ = 0;
    std::thread recorder_thread_;
    std::unique_ptr<platform::Event> recorder_exit_;
    AnalogDialog* analog_dialog_ = nullptr;  // while the analog dialog is open; under the frame lock
    ImageDialog* image_dialog_ = nullptr;    // while the image dialog is open; under the frame lock
    CameraCatalog cameras_{*this};
    AnalogControls analog_{*this};
    RegisterAccess registers_{*this};
};

}  // namespace kelvox
