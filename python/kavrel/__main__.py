"""python3 -m kavrel: the libraries the package uses, or why VISA cannot be used."""
import sys

import kavrel

found = kavrel.info()
print(f"kavrel package {found['package']}")
print(f"library: {found['library']} (version {found['library_version']})")
if found["visa"] is None:
    print(f"VISA: none can be used: {found['visa_error']}")
    sys.exit(1)
print(f"VISA: {found['visa']} ({found.get('visa_manufacturer', '?')}, version {found.get('visa_version', '?')}, "
      f"VISA {found.get('visa_specification', '?')})")
