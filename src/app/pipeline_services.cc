#include "app/pipeline_services.h"

#include "app/webview2_bootstrapper.h"
#include "environment/data_directory.h"
#include "environment/webview2_detection.h"
#include "product_files/install_manifest.h"

namespace velmo {

namespace {

Result<std::string> download_to_cache(const DownloadItem& item, const DownloadProgress& progress) {
  const Result<std::string> directory = download_directory();
  if (!directory) {
    return fail(directory.error());
  }
  return download_file(item, *directory, progress);
}

}  // namespace

PipelineServices pipeline_services(InstallServices install) {
  PipelineServices services;
  services.ensure_workbench_not_running = install.ensure_workbench_not_running;
  services.is_recognised_installation = [](const std::string& install_dir) {
    return read_install_manifest(install_dir).has_value();
  };
  services.load_release = [] { return load_release(); };
  services.download = download_to_cache;
  services.write_out_bootstrapper = write_out_webview2_bootstrapper;
  services.run_bootstrapper = run_written_webview2_bootstrapper;
  services.is_webview2_present = [] { return is_webview2_present(); };
  services.clock = system_runtime_wait_clock();
  services.apply_verified_installer = [install](const std::string& package,
                                                const std::string& install_dir) {
    return apply_verified_installer(package, install_dir, install);
  };
  services.install_launcher = install.install_startup_launcher;
  return services;
}

PipelineServices default_pipeline_services() {
  return pipeline_services(default_install_services());
}

Status run_installation(const InstallationInputs& inputs, const EventSink& events) {
  return run_installation(inputs, events, default_pipeline_services());
}

}  // namespace velmo
