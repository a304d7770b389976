# Prints an image as Pillow decodes it: "WIDTH HEIGHT" on a line, then its
# RGBA bytes in hexadecimal. For an icon, the image of the size given.
#   python3 pillow_pixels.py FILE WIDTH HEIGHT
import sys

from PIL import Image

image = Image.open(sys.argv[1])
size = (int(sys.argv[2]), int(sys.argv[3]))
if hasattr(image, "ico") and size in image.ico.sizes():
    image.size = size
rgba = image.convert("RGBA")
sys.stdout.write("%d %d\n" % rgba.size)
sys.stdout.write(rgba.tobytes().hex())
