"""The bench page in a real browser: Debian's headless Chromium, driven by Selenium through
chromedriver, on `gauge_preview serve`. It drags the left throttle from the bottom of its column
up to row 278 and checks the event log and the drawn knob; clicks the switch and checks the
needle; sets variable 352 through its controls, by keyboard too, and checks the needle moves.
Each frame the page shows is read back from the browser and compared pixel for pixel with what
`gauge_preview render` draws for the same inputs. Screenshots of the page are saved in SCREENSHOT_FOLDER.

Usage: bench_browser_test.py TOOL BIN_FOLDER SCREENSHOT_FOLDER
"""
import base64
import io
import os
import sys
import tempfile
import unittest

from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

from bench_support import Bench, rendered

TOOL = BIN = SCREENSHOTS = None
ZOOM = 2  # the page's enlargement unless chosen otherwise


def module(name):
    return os.path.join(BIN, name + ".so")


class BrowserBench(unittest.TestCase):
    """One browser for the cases; each case opens its own bench."""

    @classmethod
    def setUpClass(cls):
        cls.profile = tempfile.TemporaryDirectory()
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for argument in ["--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu", "--no-first-run",
                         "--disable-background-networking", "--disable-component-update", "--disable-sync",
                         f"--user-data-dir={cls.profile.name}", "--window-size=1500,1100"]:
            options.add_argument(argument)
        cls.browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.profile.cleanup()

    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def bench(self, module_name, *options):
        """The bench started in the modules' folder, so the page names the module by its file name."""
        return Bench(os.path.abspath(TOOL), module_name + ".so", *options, folder=BIN)

    def open(self, bench):
        self.browser.get(f"http://127.0.0.1:{bench.port}/")
        self.settled()
        self.enlarged = self.browser.find_element(By.ID, "frame-enlarged")

    def settled(self):
        """Waits until the page has nothing on its way and shows a frame drawn after the last change."""
        WebDriverWait(self.browser, 60).until(
            lambda browser: browser.execute_script("return document.body.dataset.busy === '0' && document.body.dataset.frames !== '0'"))

    def at(self, x, y):
        """The offset of gauge pixel (x, y)'s centre from the enlarged picture's centre."""
        size = self.enlarged.size
        return round((x + 0.5) * ZOOM - size["width"] / 2), round((y + 0.5) * ZOOM - size["height"] / 2)

    def shown_frame(self):
        """The pixels of the frame the page shows at 1:1, as RGB bytes, read back from the browser."""
        encoded = self.browser.execute_script("""
            const image = document.getElementById("frame-actual");
            const canvas = document.createElement("canvas");
            canvas.width = image.naturalWidth;
            canvas.height = image.naturalHeight;
            const context = canvas.getContext("2d");
            context.drawImage(image, 0, 0);
            const rgba = context.getImageData(0, 0, canvas.width, canvas.height).data;
            let text = "";
            for (let i = 0; i < rgba.length; i += 4) text += String.fromCharCode(rgba[i], rgba[i + 1], rgba[i + 2]);
            return btoa(text);""")
        return base64.b64decode(encoded)

    def rendered_pixels(self, module_name, *options):
        """The RGB bytes of what `gauge_preview render` draws for these options."""
        with Image.open(io.BytesIO(rendered(TOOL, self.folder.name, module(module_name), *options))) as picture:
            return picture.convert("RGB").tobytes()

    def reading(self, kind):
        return self.browser.find_element(By.CSS_SELECTOR, f"#elements tr[data-kind='{kind}'] td.reading").text

    def screenshot(self, name):
        os.makedirs(SCREENSHOTS, exist_ok=True)
        self.assertTrue(self.browser.save_screenshot(os.path.join(SCREENSHOTS, name)))

    def test_dragging_the_left_throttle_up_its_column(self):
        with self.bench("quadrant_gauge", "--link", "0x1011C=128") as bench:
            self.open(bench)
            self.assertEqual(self.browser.find_element(By.ID, "gauge-name").text, "Varn Throttle Quadrant")
            self.assertEqual(self.browser.find_element(By.ID, "module-path").text, "quadrant_gauge.so")
            # From the bottom of the column, row 399, up to row 278, at x 100.
            drag = ActionChains(self.browser).move_to_element_with_offset(self.enlarged, *self.at(100, 399)).click_and_hold()
            for row in range(390, 278, -10):
                drag.move_to_element_with_offset(self.enlarged, *self.at(100, row))
            drag.move_to_element_with_offset(self.enlarged, *self.at(100, 278)).release().perform()
            self.settled()

            events = self.browser.find_elements(By.CSS_SELECTOR, "#events li")
            self.assertEqual(events[0].text, "event 0x1011C value 10922, sets variable 128")
            self.assertEqual(events[-1].get_attribute("data-value"), "0")  # the press at the bottom: dead travel
            self.assertGreaterEqual(len(events), 2)
            self.assertTrue(all(event.get_attribute("data-id") == "0x1011C" for event in events))
            self.assertEqual(self.browser.find_element(By.ID, "var-128-number").get_attribute("value"), "10922")
            # The knob, lifted 10922 x 117/16384 = 78 pixels, in the frame the page shows.
            self.assertIn("shifted (0, -78)", [cell.text for cell in self.browser.find_elements(By.CSS_SELECTOR, "td.reading")])
            self.assertEqual(self.shown_frame(), self.rendered_pixels("quadrant_gauge", "--set", "128=10922"))
            self.screenshot("bench_quadrant.png")

    def test_the_switch_and_the_needle(self):
        settings = ["--set", "171=2500", "--set", "352=6550"]  # the gate open, 10 A
        with self.bench("ammeter_gauge", *settings) as bench:
            self.open(bench)
            self.assertEqual(self.reading("needle"), "value 10")
            ActionChains(self.browser).move_to_element_with_offset(self.enlarged, *self.at(110, 270)).click().perform()
            self.settled()
            self.assertEqual(self.reading("needle"), "value -20")
            self.assertEqual(self.reading("icon"), "picture 1 (bitmap 503), callback 1")
            self.assertEqual(self.shown_frame(), self.rendered_pixels("ammeter_gauge", *settings, "--point", "110,270"))
            self.screenshot("bench_ammeter_switch_off.png")

            # The same click from the keyboard: the gauge is in the tab order (just before the
            # choice of enlargement), the arrows move the pointer (ten pixels with Shift), Enter
            # presses.
            self.browser.execute_script("document.getElementById('zoom').focus()")
            ActionChains(self.browser).key_down(Keys.SHIFT).send_keys(Keys.TAB).key_up(Keys.SHIFT).perform()
            self.assertEqual(self.browser.switch_to.active_element.get_attribute("id"), "enlarged")
            keys = ActionChains(self.browser).key_down(Keys.SHIFT)
            keys.send_keys(*[Keys.ARROW_RIGHT] * 11, *[Keys.ARROW_DOWN] * 27).key_up(Keys.SHIFT).send_keys(Keys.ENTER).perform()
            self.settled()
            self.assertEqual(self.browser.find_element(By.ID, "pointer-at").text, "pointed at (110, 270)")
            self.assertEqual(self.reading("needle"), "value 10")

            # Variable 352 through its number box: -9825 is -15 A.
            box = self.browser.find_element(By.ID, "var-352-number")
            box.clear()
            box.send_keys("-9825", Keys.ENTER)
            self.settled()
            self.assertEqual(self.reading("needle"), "value -15")
            self.assertEqual(self.shown_frame(), self.rendered_pixels("ammeter_gauge", "--set", "171=2500",
                                                                 "--set", "352=-9825"))
            # And through its slider, from the keyboard: End is the top of its range, past 50 A.
            slider = self.browser.find_element(By.ID, "var-352-range")
            self.assertEqual((slider.accessible_name, box.accessible_name), ("Variable 352 slider", "Variable 352 value"))
            slider.send_keys(Keys.END)
            self.settled()
            self.assertEqual(self.reading("needle"), "value 50")
            self.assertEqual(box.get_attribute("value"), "32767")
            self.screenshot("bench_ammeter.png")


if __name__ == "__main__":
    TOOL, BIN, SCREENSHOTS = sys.argv[1], sys.argv[2], sys.argv[3]
    del sys.argv[1:4]
    unittest.main(verbosity=2)
