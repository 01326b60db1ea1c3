"""The README's Python session, run as it stands: every output shown is what it prints."""
import doctest
import os
import re
import unittest

from support import needs_heston
from test_vector import NumPyTestCase

README = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "README.md")


@needs_heston
class ReadmeSession(NumPyTestCase):
    def test_session_prints_what_the_readme_shows(self):
        with open(README, encoding="utf-8") as readme:
            text = readme.read()
        # The pycon blocks, one session; a block's closing fence ends its last output.
        blocks = re.findall(r"^```pycon\n(.*?)^```", text, flags=re.M | re.S)
        session = doctest.DocTestParser().get_doctest("".join(blocks), {}, "README.md", README, 0)
        self.assertGreater(len(session.examples), 5)
        report = []
        runner = doctest.DocTestRunner()
        runner.run(session, out=report.append)
        self.assertEqual(runner.failures, 0, "".join(report))


if __name__ == "__main__":
    unittest.main()
