#!/usr/bin/env bash
# Builds the threaded parts with ThreadSanitizer and runs their tests (the task master,
# its fetchers and gatherer, the run frame and the headless run, the HTTP client, the
# keyword search's background work, the desktop window with its runs, the automatic runs,
# the daemon, the link-scanning crawler and the fetchers' concurrent downloads). Not part of
# .ci/run: run it after changing threading code.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
JOBS=${JOBS:-2}
cmake --preset tsan
cmake --build build/tsan -j "$JOBS" --target master_test run_test output_test cli_test http_client_test \
  directory_test cli_search_test frame_view_test main_window_test automation_test auto_run_dialog_test daemon_test \
  crawler_test cli_scan_test engine_test
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
build/tsan/tests/engine/master_test
build/tsan/tests/run/run_test
build/tsan/tests/output/output_test
build/tsan/tests/app/cli_test --gtest_filter='CliRun*:CliHostile*:ExampleRun*'
build/tsan/tests/net/http_client_test
build/tsan/tests/directory/directory_test --gtest_filter='Creation*:Wizard*'
build/tsan/tests/app/cli_search_test --gtest_filter='*Refusals*:*Mobile*:*Fail*'
build/tsan/tests/run/frame_view_test
build/tsan/tests/app/ui/main_window_test
build/tsan/tests/automation/automation_test
build/tsan/tests/automation/ui/auto_run_dialog_test
build/tsan/tests/app/daemon_test
build/tsan/tests/crawler/crawler_test
build/tsan/tests/app/cli_scan_test
build/tsan/tests/engine/engine_test --gtest_filter='TargetFile*:Downloader*'
echo "== ThreadSanitizer found nothing"
