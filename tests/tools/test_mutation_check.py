"""The fault list of tools/mutation_check.py stays in step with the code it changes."""
import importlib.util
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]


def load():
    found = importlib.util.spec_from_file_location("mutation_check",
                                                   ROOT / "tools" / "mutation_check.py")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def test_every_fault_changes_exactly_one_place():
    faults = load().FAULTS
    assert len({f.name for f in faults}) == len(faults)
    for f in faults:
        text = (ROOT / f.path).read_text()
        assert text.count(f.original) == 1, f.name
        assert f.mutated != f.original, f.name
