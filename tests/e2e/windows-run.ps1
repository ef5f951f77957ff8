# Runs every scenario on Windows itself, as the workflow does: first with short
# (8.3) names made for new folders on the work folder's volume, then the deep
# folder's scenario once more with them off, whose outcome is reported. It
# leaves that volume's short names off for new folders. Run it from the
# repository's root as an administrator whose elevation asks no consent (a
# consent prompt sits on the secure desktop, where nothing can answer it).
param(
  [Parameter(Mandatory)] [string] $Launcher,
  [Parameter(Mandatory)] [string] $Fixtures,
  [string] $ExpectSetup = "x64",
  [string] $Work = (Join-Path $(if ($env:RUNNER_TEMP) { $env:RUNNER_TEMP } else { $env:TEMP }) "setup-launcher-e2e"),
  [string] $Results = "e2e-results"
)
New-Item -ItemType Directory -Force $Results | Out-Null
$summary = Join-Path $Results "summary.md"

function Invoke-Scenarios([string] $Name, [string[]] $More) {
  python tests/e2e/run_e2e.py --launcher $Launcher --fixtures $Fixtures --expect-setup $ExpectSetup `
    --work (Join-Path $Work $Name) --pictures (Join-Path $Results "pictures-$Name") --summary $summary @More |
    Tee-Object -FilePath (Join-Path $Results "$Name.log") | Out-Host
  return $LASTEXITCODE
}

$volume = Split-Path $Work -Qualifier
fsutil 8dot3name set $volume 0 | Out-Host
$all = Invoke-Scenarios "all" @()
fsutil 8dot3name set $volume 1 | Out-Host
$off = Invoke-Scenarios "short-names-off" @("--only", "folder_past_max_path", "--label", "[8.3 off]")
if ($env:GITHUB_STEP_SUMMARY) { Get-Content $summary | Add-Content $env:GITHUB_STEP_SUMMARY }
exit $(if ($all -eq 0 -and $off -eq 0) { 0 } else { 1 })
