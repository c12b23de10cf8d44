"""Each of Lustrel's six buttons shows, in its four pictures, the caption the skin hands out as its
name string: one button, one name."""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'art'))
import lustrel_art  # noqa: E402

# skin identifier: (first of its four bitmaps, its name string)
BUTTON_RESOURCES = {1: (241, 116), 2: (221, 117), 3: (205, 118), 4: (213, 120), 5: (209, 121), 6: (217, 122)}


class ButtonCaptions(unittest.TestCase):
    def test_each_picture_shows_the_name_of_its_button(self):
        strings = lustrel_art.read_strings(lustrel_art.DEFAULT_RC)
        captions = lustrel_art.button_captions()
        for ident, (bitmap, name) in BUTTON_RESOURCES.items():
            self.assertEqual(captions[bitmap], strings[name], 'button %d' % ident)
        self.assertEqual(captions[241], 'Orvex SETUP')


if __name__ == '__main__':
    unittest.main()
