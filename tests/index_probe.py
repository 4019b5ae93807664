"""Whether this build's sort step can write an index beside the .gz it writes."""

import os

from Callfold import compression


def sort_step_writes_index() -> bool:
    try:
        compression.sort_and_compress(os.path.join(os.sep, "nonexistent", "probe.vcf"), index=True)
    except TypeError:  # no such keyword
        return False
    except OSError:
        return True
    return True
