# The start of every stage under scripts/stages/: strict mode, the source
# tree as $root and the working directory, and the helpers that install
# packages and count tests.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/scripts/lib/packages.sh"
source "$root/scripts/lib/tally.sh"
cd "$root"
