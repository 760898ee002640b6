import os
import shutil
import subprocess
import sys

import pytest

CLI = os.environ.get("TRAVIK_CLI", "")
DEMO = os.environ.get("TRAVIK_DEMO_FLS", "")
EXAMPLES = os.environ.get("TRAVIK_EXAMPLES", "")


@pytest.fixture
def demo(tmp_path):
    """A copy of the demo firmware: the build's own is never touched."""
    if not os.path.isfile(DEMO):
        pytest.skip("no demo firmware")
    path = tmp_path / "demo.fls"
    shutil.copyfile(DEMO, path)
    return str(path)


def cli(*args, check=True):
    """travik-cli's output."""
    done = subprocess.run([CLI, *args], capture_output=True, text=True, encoding="latin-1")
    if check and done.returncode != 0:
        raise AssertionError(f"travik-cli {args} failed ({done.returncode}): {done.stderr}")
    return done


def python(code, *args, **kwargs):
    """Runs `code` under this interpreter with the module importable."""
    return subprocess.Popen([sys.executable, "-c", code, *args], text=True, **kwargs)
