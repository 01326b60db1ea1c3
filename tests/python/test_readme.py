# SPDX-License-Identifier: Apache-2.0
"""The README's Python session, run as it stands: every output shown is what it prints.

It uses NumPy, pandas and a Dask cluster: skipped where one is missing, unless CI's
EUROCALL_REQUIRE_* variables are set.
"""
import doctest
import os
import re
import unittest
import warnings

import eurocall
from support import needs_heston, optional

README = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "README.md")


@needs_heston
class ReadmeSession(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        optional("numpy", "EUROCALL_REQUIRE_NUMPY")
        optional("pandas", "EUROCALL_REQUIRE_PANDAS")
        optional("distributed", "EUROCALL_REQUIRE_DASK")
        optional("dask.dataframe", "EUROCALL_REQUIRE_DASK")

    def test_session_prints_what_the_readme_shows(self):
        with open(README, encoding="utf-8") as readme:
            text = readme.read()
        # The pycon blocks, one session; a block's closing fence ends its last output.
        blocks = re.findall(r"^```pycon\n(.*?)^```", text, flags=re.M | re.S)
        session = doctest.DocTestParser().get_doctest("".join(blocks), {}, "README.md", README, 0)
        self.assertGreater(len(session.examples), 5)
        report = []
        runner = doctest.DocTestRunner()
        with warnings.catch_warnings():
            # The README shows the flagged results; the warnings' text is tested elsewhere.
            warnings.simplefilter("ignore", eurocall.OptionValueWarning)
            # Dask's own, from the versions Debian ships; nothing the session shows.
            warnings.simplefilter("ignore", DeprecationWarning)
            runner.run(session, out=report.append)
        self.assertEqual(runner.failures, 0, "".join(report))


if __name__ == "__main__":
    unittest.main()
