# Runs every scenario on Windows itself, as the workflow does: first with short
# (8.3) names made for new folders on the work folder's volume, then the deep
# folder's scenario once more with them off, in a work folder made after that,
# whose outcome is reported. It leaves that volume's short names off for new
# folders. Run it from the repository's root as an administrator whose
# elevation asks no consent (a consent prompt sits on the secure desktop,
# where nothing can answer it). The harness writes its own logs and summaries,
# in UTF-8; this script only starts it and hands back its exit codes.
param(
  [Parameter(Mandatory)] [string] $Launcher,
  [Parameter(Mandatory)] [string] $Fixtures,
  [string] $ExpectSetup = "x64",
  [string] $Work = (Join-Path $(if ($env:RUNNER_TEMP) { $env:RUNNER_TEMP } else { $env:TEMP }) "setup-launcher-e2e"),
  [string] $Results = "e2e-results",
  # Every time bound is multiplied by this: x86 code runs emulated on Arm64.
  [double] $TimeScale = 1
)
New-Item -ItemType Directory -Force $Results | Out-Null
$summaries = @("--summary", (Join-Path $Results "summary.md"))
if ($env:GITHUB_STEP_SUMMARY) { $summaries += @("--summary", $env:GITHUB_STEP_SUMMARY) }
$common = @("tests/e2e/run_e2e.py", "--launcher", $Launcher, "--fixtures", $Fixtures,
            "--expect-setup", $ExpectSetup, "--time-scale", $TimeScale) + $summaries

$volume = Split-Path $Work -Qualifier
fsutil 8dot3name set $volume 0 | Out-Host
python @common --work (Join-Path $Work "all") --pictures (Join-Path $Results "pictures-all") `
  --log (Join-Path $Results "all.log")
$all = $LASTEXITCODE
fsutil 8dot3name set $volume 1 | Out-Host
# A folder keeps the short name it was made with: this pass's is made now.
python @common --work "$Work-8.3-off" --pictures (Join-Path $Results "pictures-short-names-off") `
  --log (Join-Path $Results "short-names-off.log") --only folder_past_max_path `
  --label "[8.3 off]" --without-short-names
$off = $LASTEXITCODE
exit $(if ($all -eq 0 -and $off -eq 0) { 0 } else { 1 })
